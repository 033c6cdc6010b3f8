#pragma once
// The 3-D view of the main window: its GL set-up, drawing, picking and the
// display lists of the correspondence. Events are translated into calls of
// app and drawn from AppState and ViewState.
#include <cstdint>

#include "base/modes.h"

using namespace kestrane;

// One-time GL set-up of the view.
void view_init();
// Projection and viewport of a view of width x height pixels, placed 25
// pixels above the bottom of the main window.
void view_reshape(int width, int height);
void view_display();
void set_camera();
void place_moving_light();
void draw_overlay();
// Translate, spin and tilt of every drawn object.
void object_transform();
// Vectors (mode 0) or links (other modes) with their selection names.
void draw_correspondence_overlay();

// Keys typed over the view, and one idle step.
void view_key(unsigned char key, int x, int y);
void animation_step();

// Mouse handlers and picks (x, y in window pixels, y from the top).
void view_mouse(int button, int state, int x, int y);
void view_motion(int x, int y);
int32_t pick_sphere(int x, int y);
int32_t delete_vector_at(int x, int y);
int32_t pick_surface_point(int x, int y, int side, float out[3]);

// Display lists of the correspondence, after the change the request asks for.
void build_link_list(LinkRequest request);
void build_vector_list();
void build_sphere_lists();

