#pragma once
// The batch tool's whole run: command line, a check that the output
// directories take files, load, analysis, links and every frame and sphere
// file, with progress, warnings and errors on standard error and each file
// name on standard output. Returns the exit status; frees the volumes.

// Exit statuses of kestrane-batch.
enum BatchStatus {
    BATCH_DONE = 0,
    BATCH_COMMAND_LINE = 1,
    BATCH_LOAD_FAILED = 2,
    BATCH_ANALYSIS_FAILED = 3,
    BATCH_WRITE_FAILED = 4,  // an output directory, frame or sphere file could not be written
    // Stopped by SIGINT or SIGTERM: 128 + the signal (interrupts.h).
};

// The whole headless morph: parse, load, analyse, link, write every frame.
int batch_main(int argc, char** argv);

// Prints the status messages on standard error as console_progress.h
// shapes them (quiet: warnings and errors only), and load failures as
// errors naming the file and the reason.
void install_console_reporter(bool quiet = false);
