#pragma once
// The program that draws videos. kestrane-batch itself links no OpenGL or
// video library (they cost every run tens of megabytes to load); a run
// with --video is handed whole to kestrane-batch-video, its twin beside it
// that does.

// Runs the video program in this process with the same command line
// (argv[0] kept, so messages name the program the user ran). Returns only
// when the build has none or it cannot be started.
void run_video_program(char** argv);
