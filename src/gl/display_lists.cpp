#include "gl/display_lists.h"

#include <GL/gl.h>

#include "viewer/viewer_outputs.h"
#include "viewer/sequence.h"
#include "app/app_state.h"
#include "viewer/view_state.h"
#include "gl/lists.h"
#include "gl/window_helpers.h"

using namespace kestrane;

namespace {

const Material SOURCE_MATERIAL = {{0.5f, 0, 0, 0.4f}, 50, {0.5f, 0, 0, 0.4f}, {0.2f, 0, 0, 0.4f}};
const Material TARGET_MATERIAL = {{0, 0.5f, 0, 0.4f}, 50, {0, 0.5f, 0, 0.4f}, {0, 0.2f, 0, 0.4f}};
// Frames and end surfaces are compiled as the video's frames are.
int32_t compile_mesh(const SurfaceMesh& mesh, const Material& material, bool frame)
{
    return static_cast<int32_t>(compile_mesh_list(mesh, material, frame, static_cast<float>(app.view_scale)));
}

void build_end_surface(int32_t& slot, int frame, const Material& material)
{
    select_view();
    SurfaceMesh mesh;
    build_end_surface_mesh(frame, &mesh);
    select_view();
    slot = compile_mesh(mesh, material, false);
}

}  // namespace

void build_surface_lists(int32_t surface_lists[2])
{
    select_view();
    delete_list(surface_lists[0]);
    delete_list(surface_lists[1]);
    build_end_surface(surface_lists[0], 0, SOURCE_MATERIAL);
    build_end_surface(surface_lists[1], app.frame_count - 1, TARGET_MATERIAL);
}

int build_next_frame()
{
    const int f = sequence_frame_to_build();
    if (f < 0) return 0;
    select_view();
    if (sequence_needs_slots()) {
        for (int32_t i = 0; i < view.frames_built && i < static_cast<int32_t>(view.frame_lists.size()); ++i)
            delete_list(view.frame_lists[i]);
        if (!reset_sequence_slots()) return 0;
    }
    if (!sequence_slot_ready(f)) return 0;
    // Not built yet: the view goes on meanwhile.
    if (!sequence_frame_ready(f)) return 0;
    SurfaceMesh mesh;
    if (!take_sequence_frame(f, &mesh)) return 0;
    select_view();
    view.frame_lists[f] = compile_mesh(mesh, FRAME_MATERIAL, true);
    sequence_frame_stored(f);
    mesh = SurfaceMesh{};
    show_frame(f);
    return advance_sequence(f) ? 1 : 0;
}
