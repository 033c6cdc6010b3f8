#pragma once
#include <cstdint>
#include <vector>

// Display lists of the two end surfaces and of the morph sequence (GL layer).

// Rebuilds surface_lists[0] (source, frame 0) and [1] (target, last frame),
// writing both as frame files when an output format is set.
void build_surface_lists(int32_t surface_lists[2]);
// Begins generating the sequence into frame_lists, one frame per call of
// build_next_frame, with a Cancel button on the status line.
void start_sequence(std::vector<int32_t>* frame_lists, int32_t* frames_built);
// Builds the next frame; 1 when a frame was built and more remain, else 0.
int build_next_frame();
