#pragma once
// Display-list slots, materials and the view's perspective, shared by every
// drawing and picking file of the GL layer.
#include <cstdint>

#include "render/scene.h"

// Deletes the list in slot (when GL knows it) and empties the slot.
void delete_list(int32_t& slot);
// Calls the list unless the slot is empty.
void call_list(int32_t list);

// The view's perspective (45 degrees, near 0.2, far 40) for a viewport of
// the given aspect, multiplied onto the current projection.
void multiply_view_perspective(double aspect);
