#include "viewer/menu_entries.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/pipeline.h"
#include "viewer/pipeline_menu.h"
#include "viewer/preview.h"
#include "app/app_state.h"
#include "app/frame_formats.h"
#include "app/status.h"
#include "viewer/view_state.h"

using namespace kestrane;

MenuHooks menu_hooks;

namespace {

const char* flag(bool on) { return on ? "1" : "0"; }

// Selecting a frame format that is on (alone or among those --format chose)
// switches frame output off; any other becomes the one format.
void choose_frame_format(SurfaceFormat format)
{
    choose_single_format(writes_frames_as(format) ? SURFACE_FORMAT_NONE : format);
}

// Selecting a format that is on switches output off; any other selects it.
template <typename Format>
void toggle_format(Format& field, Format value)
{
    field = field == value ? static_cast<Format>(0) : value;
}

// Integer entries are read into 16 bits before their range is checked: a
// negative entry, or one beyond 16 bits, meets the upper bound (65538
// frames must not wrap to 2).
uint16_t read_uint16(const char* text)
{
    const long value = std::strtol(text, nullptr, 10);
    return value < 0 || value > 65535 ? 65535 : static_cast<uint16_t>(value);
}

const char* format_int(std::string& buffer, int value)
{
    buffer = std::to_string(value);
    return buffer.c_str();
}

void call(void (*hook)())
{
    if (hook) hook();
}

}  // namespace

// Toggles

const char* render_help() { return flag(view.show_help); }
void apply_help(const char*) { view.show_help = !view.show_help; }

const char* render_as_vrml() { return flag(writes_frames_as(SURFACE_FORMAT_VRML)); }
void apply_as_vrml(const char*) { choose_frame_format(SURFACE_FORMAT_VRML); }
const char* render_as_oogl() { return flag(writes_frames_as(SURFACE_FORMAT_OOGL)); }
void apply_as_oogl(const char*) { choose_frame_format(SURFACE_FORMAT_OOGL); }
const char* render_as_ply() { return flag(writes_frames_as(SURFACE_FORMAT_PLY)); }
void apply_as_ply(const char*) { choose_frame_format(SURFACE_FORMAT_PLY); }
const char* render_as_obj() { return flag(writes_frames_as(SURFACE_FORMAT_OBJ)); }
void apply_as_obj(const char*) { choose_frame_format(SURFACE_FORMAT_OBJ); }
const char* render_as_stl() { return flag(writes_frames_as(SURFACE_FORMAT_STL)); }
void apply_as_stl(const char*) { choose_frame_format(SURFACE_FORMAT_STL); }
// Beside any frame format: the GLB is one file of the whole sequence.
const char* render_as_gltf() { return flag(view.save_gltf); }
void apply_as_gltf(const char*)
{
    view.save_gltf = !view.save_gltf;
    if (view.save_gltf) show_warning("File will be written during morph creation");
}
const char* render_as_bmp() { return flag(view.dump_format == DUMP_FORMAT_BMP); }
void apply_as_bmp(const char*) { toggle_format(view.dump_format, DUMP_FORMAT_BMP); }
const char* render_as_ppm() { return flag(view.dump_format == DUMP_FORMAT_PPM); }
void apply_as_ppm(const char*) { toggle_format(view.dump_format, DUMP_FORMAT_PPM); }

const char* render_centres() { return flag(app.scale_centres); }
void apply_centres(const char*) { pipeline_toggle_centres(); }
const char* render_sizes() { return flag(app.scale_sizes); }
void apply_sizes(const char*) { pipeline_toggle_sizes(); }

const char* render_spheres() { return flag(view.show_spheres); }
void apply_spheres(const char*)
{
    view.show_spheres = !view.show_spheres;
    if (view.mode != MODE_AUTOMATIC) show_warning("This only affects automatic correspondence display");
}

const char* render_shadow() { return flag(view.show_shadow); }
void apply_shadow(const char*)
{
    view.show_shadow = !view.show_shadow;
    if (view.mode != MODE_SEQUENCE) show_warning("This only affects morph sequence");
}

const char* render_smooth() { return flag(view.smooth_shading); }
void apply_smooth(const char*)
{
    view.smooth_shading = !view.smooth_shading;
    if (menu_hooks.set_shade_model) menu_hooks.set_shade_model(view.smooth_shading);
}

const char* render_base() { return flag(view.show_base); }
void apply_base(const char*) { view.show_base = !view.show_base; }

const char* render_preview() { return flag(view.show_preview); }
void apply_preview(const char*)
{
    toggle_preview();
    if (view.mode != MODE_AUTOMATIC) show_warning("This only affects automatic correspondence display");
}

// Fields

const char* render_source() { return app.source_path.c_str(); }
void apply_source(const char* text) { pipeline_set_source(text); }
const char* render_target() { return app.target_path.c_str(); }
void apply_target(const char* text) { pipeline_set_target(text); }

const char* render_base_name() { return app.output_base.c_str(); }
void apply_base_name(const char* text)
{
    app.output_base = text;
    if (app.output_base.empty()) {
        choose_single_format(SURFACE_FORMAT_NONE);
        return;
    }
    if (app.output_format == SURFACE_FORMAT_NONE) choose_single_format(SURFACE_FORMAT_OOGL);
    show_warning("File will be written during morph creation");
}

const char* render_file_name() { return view.dump_base.c_str(); }
void apply_file_name(const char* text)
{
    if (text[0] == '\0') {
        show_warning("Name must contain some characters");
        return;
    }
    view.dump_base = text;
    show_warning("Use space bar to toggle screen dump");
}

const char* render_transform()
{
    static std::string buffer;
    buffer.clear();
    char number[400];
    for (int i = 0; i < 16; ++i) {
        std::snprintf(number, sizeof number, i ? ",%.2f" : "%.2f", app.transform[i]);
        buffer += number;
    }
    return buffer.c_str();
}
void apply_transform(const char* text) { pipeline_set_transform(text); }

const char* render_points()
{
    static std::string buffer;
    return format_int(buffer, app.min_points);
}
void apply_points(const char* text) { pipeline_set_points(text); }

const char* render_alias()
{
    static char buffer[400];
    if (!app.antialias) return "0.0";
    std::snprintf(buffer, sizeof buffer, "%4.2f", app.antialias_distance);
    return buffer;
}
void apply_alias(const char* text) { pipeline_set_alias(text); }

const char* render_res()
{
    static std::string buffer;
    return format_int(buffer, app.resolution);
}
void apply_res(const char* text)
{
    uint16_t r = read_uint16(text);
    if (r == 0) {
        r = 1;
        show_warning("Minimum triangle to volume resolution is 1");
    } else if (r > 8) {
        r = 8;
        show_warning("Maximum triangle to volume resolution is 8");
    }
    app.resolution = r;
    if (view.mode == MODE_NOTHING_LOADED) return;
    // The grid's margin grows with the resolution: the volumes are loaded
    // anew, so that the frames are those of a load at this resolution. The
    // work of the user (vectors, the mode reached) carries over.
    const Mode mode = view.mode;
    if (!pipeline_reload_keeping_vectors()) return;
    call(menu_hooks.rebuild_vector_list);
    view.mode = mode;
    if (mode >= MODE_AUTOMATIC && !app.quick_morph && menu_hooks.rebuild_link_list)
        menu_hooks.rebuild_link_list(LINK_RECOMPUTE);
    call(menu_hooks.rebuild_sphere_lists);
    if (mode == MODE_SEQUENCE) call(menu_hooks.restart_sequence);
}

const char* render_frames()
{
    static std::string buffer;
    return format_int(buffer, app.frame_count);
}
void apply_frames(const char* text)
{
    uint16_t n = read_uint16(text);
    if (n < 2) {
        n = 10;
        show_warning("Must have at least 2 frames");
    } else if (n > 100) {
        n = 100;
        show_warning("Must be at most 100 frames");
    }
    app.frame_count = n;
    if (view.mode == MODE_SEQUENCE) call(menu_hooks.restart_sequence);
}

const char* render_background()
{
    static char buffer[200];
    std::snprintf(buffer, sizeof buffer, "%.1f,%.1f,%.1f", view.background[0], view.background[1],
                  view.background[2]);
    return buffer;
}
void apply_background(const char* text)
{
    float* c = view.background;
    int read = std::sscanf(text, "%f,%f,%f", &c[0], &c[1], &c[2]);
    bool bad = false;
    if (read != 3) {
        show_warning("Background is input as R,G,B");
        bad = true;
    } else {
        for (int i = 0; i < 3; ++i)
            if (!(c[i] >= 0.0f && c[i] <= 1.0f)) bad = true;
        if (bad) show_warning("RGB values must be between 0.0 and 1.0");
    }
    if (bad) c[0] = c[1] = c[2] = 0.0f;
}
