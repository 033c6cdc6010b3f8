#pragma once
#include "base/modes.h"

using namespace kestrane;

// The menu entries' handlers: each render handler shows a parameter of
// AppState as text, each apply handler changes it by the menu's rules (out of
// range values are brought back with a warning) and reloads or rebuilds what
// depends on it through the pipeline and the GL layer's hooks.

// The render and apply handlers of the menu entries. Each render handler
// writes into a buffer of its own, valid until it runs again.

// The GL side of a few entries, installed by the menu window's set-up; an
// absent hook is skipped, which keeps the handlers usable headless.
struct MenuHooks {
    void (*set_shade_model)(bool smooth) = nullptr;
    // Res: after the reload, the vectors, the links (and the spheres, which
    // writes sphere files when frame output is on).
    void (*rebuild_vector_list)() = nullptr;
    void (*rebuild_link_list)(LinkRequest request) = nullptr;
    void (*rebuild_sphere_lists)() = nullptr;
    // Res: and Frames: in mode 2: generate the sequence anew.
    void (*restart_sequence)() = nullptr;
};

extern MenuHooks menu_hooks;

// Toggles
const char* render_help();
void apply_help(const char* text);
const char* render_as_vrml();
void apply_as_vrml(const char* text);
const char* render_as_oogl();
void apply_as_oogl(const char* text);
const char* render_as_ply();
void apply_as_ply(const char* text);
const char* render_as_obj();
void apply_as_obj(const char* text);
const char* render_as_stl();
void apply_as_stl(const char* text);
const char* render_as_gltf();
void apply_as_gltf(const char* text);
const char* render_as_bmp();
void apply_as_bmp(const char* text);
const char* render_as_ppm();
void apply_as_ppm(const char* text);
const char* render_centres();
void apply_centres(const char* text);
const char* render_sizes();
void apply_sizes(const char* text);
const char* render_spheres();
void apply_spheres(const char* text);
const char* render_shadow();
void apply_shadow(const char* text);
const char* render_smooth();
void apply_smooth(const char* text);
const char* render_base();
void apply_base(const char* text);
const char* render_preview();
void apply_preview(const char* text);

// Fields
const char* render_source();
void apply_source(const char* text);
const char* render_target();
void apply_target(const char* text);
const char* render_base_name();
void apply_base_name(const char* text);
const char* render_file_name();
void apply_file_name(const char* text);
const char* render_transform();
void apply_transform(const char* text);
const char* render_points();
void apply_points(const char* text);
const char* render_alias();
void apply_alias(const char* text);
const char* render_res();
void apply_res(const char* text);
const char* render_frames();
void apply_frames(const char* text);
const char* render_background();
void apply_background(const char* text);
