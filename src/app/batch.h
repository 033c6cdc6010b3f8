#pragma once
// The batch tool's whole run: command line, load, analysis, links and every
// frame and sphere file, with every message on standard error and each file
// name on standard output. Returns the exit status; frees the volumes.

// Exit statuses of kestrane-batch.
enum BatchStatus {
    BATCH_DONE = 0,
    BATCH_COMMAND_LINE = 1,
    BATCH_LOAD_FAILED = 2,
    BATCH_ANALYSIS_FAILED = 3,
    BATCH_WRITE_FAILED = 4,  // a frame or sphere file could not be written
    // Stopped by SIGINT or SIGTERM: 128 + the signal (interrupts.h).
};

// The whole headless morph: parse, load, analyse, link, write every frame.
int batch_main(int argc, char** argv);

// Prints every status message on standard error, one per line (on a
// terminal, progress overwrites one line).
void install_console_reporter();
