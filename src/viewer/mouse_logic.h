#pragma once
// Drags, momentum and manual vectors: the headless part of the view's
// mouse handling, on the view record and AppState's vectors.
#include <cstdint>

#include "viewer/view_state.h"

using namespace kestrane;

// Drag and momentum rules of the view's mouse handling (no GL).

enum class MouseButton { Left, Middle, Right };

// One unit towards 0 (0 stays 0): what a released drag keeps of its last move.
int32_t decay_towards_zero(int32_t d);

// Factor the eye (or light) distance is multiplied by for a vertical move dy:
// sqrt(dy) * 1.01 down the screen, its inverse up, 1 for |dy| < 1.
float zoom_step(int32_t dy);

// Starts a drag of the given kind, stopping the momentum it replaces.
void begin_drag(DragKind kind);

// A motion event at (x, y): stores the movement and applies it for every drag
// kind but Vector (which picks on the surface instead).
void drag_motion(int x, int y);

// The release of `button`: decays the last movement and turns it into
// momentum for the drag kind (vectors are handled by the caller), then ends
// the drag.
void drag_release(MouseButton button);

// Appends a manual vector; returns false (and drops every vector) when the
// array cannot grow.
bool add_manual_vector(const float start[3], const float end[3]);
// Removes manual vector n; false when there is no such vector.
bool remove_manual_vector(int32_t n);
