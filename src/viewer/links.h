#pragma once
// Changes of the automatic correspondence asked for by keys and the mouse.
#include <cstdint>

#include "base/modes.h"

using namespace kestrane;

// Re-extracts and re-links as the request says. True when there are links
// to draw (false with quick morphing, also when an extraction overflowed and
// switched it on, or when a step failed).
bool update_links(LinkRequest request);

// Unlinks the sphere a pick in the link display found: names count the
// source spheres first, then the target's. False when the pick found none.
bool unlink_picked_sphere(int32_t name);
