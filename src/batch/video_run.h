#pragma once
// The batch tool's video (--video): each frame, as the frame pool hands it
// over, drawn offscreen with the viewer's scene (render/scene.h) from the
// framing camera and encoded at once; no frame is kept.
#include <cstdint>
#include <memory>
#include <string>

#include "surface/mesh.h"

struct VideoSettings {
    std::string file;  // empty: no video
    int width = 1280, height = 720;
    int fps = 24;
    bool turntable = false;      // one revolution of the object over the video
    bool starting_view = false;  // the viewer's starting camera, not the framing one
    bool y_up = false;           // the surfaces' y axis points up (else z, as in the viewer)
};

// Whether this build makes videos (KESTRANE_VIDEO).
bool video_built();

struct VideoRun;
struct VideoRunClose {
    void operator()(VideoRun* run) const;
};
using VideoRunPtr = std::unique_ptr<VideoRun, VideoRunClose>;

// Opens the offscreen picture and the video file for frame_count frames of
// a morph of that grid; null, with the reason, on failure.
VideoRunPtr start_video(const VideoSettings& settings, const int16_t volume_dims[3], double view_scale,
                        int frame_count, std::string* error);
// Draws and encodes the next frame.
bool add_video_frame(VideoRun& run, const kestrane::SurfaceMesh& mesh, std::string* error);
// The file, whole, under its name.
bool finish_video(VideoRun& run, std::string* error);
