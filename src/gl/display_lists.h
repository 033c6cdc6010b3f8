#pragma once
// Display lists of the two end surfaces and of the morph sequence. The
// frames come from the frame driver; this file only compiles them.
#include <cstdint>


// Rebuilds surface_lists[0] (source, frame 0) and [1] (target, last frame),
// writing both as frame files when an output format is set.
void build_surface_lists(int32_t surface_lists[2]);
// Builds the next frame of a sequence being generated; 1 when a frame was
// built and more remain, else 0.
int build_next_frame();
