#pragma once
// Generation of the morph sequence in the viewer, one frame per idle call.
// The state is app.next_build_frame (-1: nothing to build) and
// app.frames_built; the display lists are view.frame_lists. The GL layer
// compiles each frame; everything else is decided here.

// Begins generating from frame 0, with a Cancel button on the status line.
void start_sequence();
// Stops a generation in progress (nothing when none is running).
void stop_sequence();
// The frame to build next, or -1 when nothing is being generated.
int sequence_frame_to_build();
// Frame 0 only, after the GL layer deleted the lists of the previous
// sequence: frame_count empty slots. False (the generation stopped, with a
// message) when there is no memory for them.
bool reset_sequence_slots();
// False when a reload or a new frame count left no slot for frame f: the
// generation is then stopped.
bool sequence_slot_ready(int f);
// Frame f is compiled into its slot: it counts as built.
void sequence_frame_stored(int f);
// After frame f is shown: moves on. True when more frames remain.
bool advance_sequence(int f);
