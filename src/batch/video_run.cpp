#include "batch/video_run.h"

#include <GL/gl.h>

#include <vector>

#include "batch/offscreen_context.h"
#include "batch/video_encoder.h"
#include "render/scene.h"
#include "render/video_framing.h"

struct VideoRun {
    VideoFraming framing;
    int frame_count = 0;
    int next = 0;
    // The context first: the encoder's file is closed before it.
    OffscreenContextPtr context;
    VideoEncoderPtr encoder;
    uint32_t floor = 0;
    std::vector<uint8_t> pixels;
};

void VideoRunClose::operator()(VideoRun* run) const { delete run; }

bool video_built() { return true; }

VideoRunPtr start_video(const VideoSettings& s, const int16_t volume_dims[3], double view_scale, int frame_count,
                        std::string* error)
{
    VideoRunPtr run(new VideoRun);
    for (int axis = 0; axis < 3; ++axis) run->framing.volume_dims[axis] = volume_dims[axis];
    run->framing.view_scale = view_scale;
    run->framing.width = s.width;
    run->framing.height = s.height;
    run->framing.turntable = s.turntable;
    run->framing.starting_view = s.starting_view;
    run->framing.y_up = s.y_up;
    run->frame_count = frame_count;
    run->context = open_offscreen_context(s.width, s.height, error);
    if (!run->context) return nullptr;
    run->encoder = open_video_encoder(s.file, s.width, s.height, s.fps, error);
    if (!run->encoder) return nullptr;
    const SceneLook look = video_look(run->framing, 0, frame_count);
    scene_gl_init(look.background);
    run->floor = compile_floor_list();
    glViewport(0, 0, s.width, s.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    multiply_perspective(VIEW_FIELD_OF_VIEW, static_cast<double>(s.width) / s.height, VIEW_NEAR, VIEW_FAR);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    return run;
}

bool add_video_frame(VideoRun& run, const kestrane::SurfaceMesh& mesh, std::string* error)
{
    const SceneLook look = video_look(run.framing, run.next++, run.frame_count);
    const uint32_t list =
        compile_mesh_list(mesh, FRAME_MATERIAL, true, static_cast<float>(run.framing.view_scale));
    begin_scene(look, run.floor);
    draw_frame(look, list);
    end_scene();
    glDeleteLists(list, 1);
    if (glGetError() == GL_OUT_OF_MEMORY) {
        *error = "not enough memory to draw the frame";
        return false;
    }
    read_offscreen_pixels(*run.context, &run.pixels);
    return encode_video_frame(*run.encoder, run.pixels.data(), error);
}

bool finish_video(VideoRun& run, std::string* error) { return finish_video_encoder(*run.encoder, error); }
