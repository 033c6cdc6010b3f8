#pragma once
// The viewer's global record: view size, camera, lights, momentum, display
// list names, mouse state and the screen-dump buffer it owns. Read and
// written by the viewer's logic in app and its drawing in gl only.
#include <cstdint>
#include <string>
#include <vector>

#include "base/modes.h"

#include "base/vector3.h"
#include "render/camera.h"

using namespace kestrane;

// An empty display-list slot.
constexpr int32_t NO_LIST = -1;

// Which drag the pressed mouse button started.
enum class DragKind { None, Rotate, Twist, Zoom, Object, Light, LightZoom, Vector };

constexpr int VIEW_TEXT_LENGTH = 80;

// The viewer's record: size of the 3-D view, camera, lights, momentum,
// display-list names, mouse state and the screen-dump buffer.
struct ViewState {
    // What the view shows and which keys do what.
    Mode mode = MODE_MANUAL;
    int32_t current_frame = 0;     // the frame played back
    int32_t frames_built = 0;      // frames of the sequence built so far
    int32_t play_rate = 1;         // frames per step of the playback, and its direction
    int32_t next_build_frame = -1; // the next frame the sequence builds, -1 none
    bool first_idle = false;       // the first idle call loads the files
    bool loading = false;          // a load is under way: only Cancel is taken

    // Display switches and screen dumps (menus and keys).
    float background[3] = {0, 0, 0};
    bool show_help = false;
    bool show_parameters = false;
    bool show_base = true;
    bool show_shadow = true;
    bool show_spheres = false;
    bool smooth_shading = true;
    // The morph previewed beside the surfaces in automatic correspondence
    // (viewer/preview.h), at this time.
    bool show_preview = false;
    double preview_time = 0.5;
    bool dump_enabled = false;
    std::string dump_base;
    DumpFormat dump_format = DUMP_FORMAT_NONE;
    // File > Save Surface > glTF: the sequence, once built, as one GLB
    // (sequence_gltf.h).
    bool save_gltf = false;

    int32_t view_width = 480;
    int32_t view_height = 345;
    // view_height rows of view_width RGB pixels, each row padded to a multiple
    // of 4 bytes; empty when the buffer could not be allocated.
    std::vector<uint8_t> dump_pixels;
    int32_t dump_index = 0;  // number of the next screen-dump file
    int32_t tick_count = 0;

    // Camera, degrees; eye_distance in world units.
    float azimuth = StartingView{}.azimuth;
    float elevation = StartingView{}.elevation;  // 0 .. 89.9
    float twist = StartingView{}.twist;          // -89.9 .. 89.9
    float eye_distance = StartingView{}.eye_distance;
    float azimuth_speed = 0;
    float elevation_speed = 0;
    float twist_speed = 0;
    float zoom_factor = 1;

    // Rotation of the drawn objects about z, then x.
    float object_spin = 0;
    float object_tilt = 0;
    float object_spin_speed = 0;
    float object_tilt_speed = 0;

    // The moving light.
    float light_azimuth = StartingView{}.light_azimuth;
    float light_elevation = StartingView{}.light_elevation;  // 0 .. 89.9
    float light_distance = StartingView{}.light_distance;    // 1 .. 10
    float light_azimuth_speed = 0;
    float light_elevation_speed = 0;
    float light_zoom_factor = 1;

    float key_light_position[4] = {StartingView{}.key_light[0], StartingView{}.key_light[1], StartingView{}.key_light[2],
                                   StartingView{}.key_light[3]};
    float moving_light_position[4] = {0, 0, 0, 0};
    float shadow_matrix[16] = {0};  // column-major

    // Display lists. frame_lists holds frame_count names while a sequence
    // exists; its first view.frames_built entries are live lists.
    std::vector<int32_t> frame_lists;
    int32_t surface_lists[2] = {NO_LIST, NO_LIST};
    int32_t sphere_lists[2] = {NO_LIST, NO_LIST};
    int32_t link_list = NO_LIST;
    int32_t vector_list = NO_LIST;
    int32_t base_list = NO_LIST;
    int32_t preview_list = NO_LIST;

    // Frame-rate meter of the sequence.
    float frame_rate = 0;
    int32_t rate_count = 0;  // 0: the meter has not started
    int32_t rate_clock = 0;

    // Mouse.
    DragKind drag_kind = DragKind::None;
    int32_t last_x = 0, last_y = 0;
    int32_t last_dx = 0, last_dy = 0;
    float vector_start[3] = {0, 0, 0};
    float vector_end[3] = {0, 0, 0};  // (0, 0, 0) while not over the target
    int32_t last_pick_clock = 0;

    char overlay_text[VIEW_TEXT_LENGTH] = {0};
    char status_text[VIEW_TEXT_LENGTH] = {0};
};

extern ViewState view;

// Voxel coordinates to drawing coordinates (before the lift by 1 along z):
// the grid is centred on its middle voxel and scaled by app.view_scale.
Vector3 to_world(Vector3 voxel);

// Millisecond clock used by the frame-rate meter and to limit surface picks.
int32_t clock_ms();

// Back to the start values (tests).
void view_state_reset();
