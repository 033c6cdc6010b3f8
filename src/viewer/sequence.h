#pragma once
// Generation of the morph sequence in the viewer. Frames are built on worker
// threads (frame_pool.h) and taken in order between events, so the interface
// stays responsive; the state is view.next_build_frame (-1: nothing to build)
// and view.frames_built, the display lists view.frame_lists. The GL layer
// compiles each frame; everything else is decided here.
//
// Anything that changes what the frames are made of (a reload, Backspace,
// Cancel, a new frame count or resolution, quitting) stops the workers
// first, which discards the frames in flight.
#include "surface/mesh.h"

using namespace kestrane;

// Begins generating from frame 0, with a Cancel button on the status line.
void start_sequence();
// Stops a generation in progress (nothing when none is running).
void stop_sequence();
// The frame to build next, or -1 when nothing is being generated.
int sequence_frame_to_build();
// True once per generation, before its first frame: the GL layer then
// deletes the lists of the previous sequence and calls reset_sequence_slots.
bool sequence_needs_slots();
// frame_count empty slots, and the workers start. False (the generation
// stopped, with a message) when there is no memory for them.
bool reset_sequence_slots();
// False when a reload or a new frame count left no slot for frame f: the
// generation is then stopped.
bool sequence_slot_ready(int f);
// Whether frame f has been built (so take_sequence_frame will not wait).
bool sequence_frame_ready(int f);
// Frame f, built: reported and written as the frame driver does it. False
// (the generation stopped) when it could not be triangulated.
bool take_sequence_frame(int f, SurfaceMesh* mesh);
// Frame f is compiled into its slot: it counts as built.
void sequence_frame_stored(int f);
// After frame f is shown: moves on. True when more frames remain.
bool advance_sequence(int f);
