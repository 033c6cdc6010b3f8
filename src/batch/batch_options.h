#pragma once
// What the batch tool takes beyond the options both programs share: its own
// help text (defaults, formats, exit statuses), the quiet option, and the
// check that the output directories can be written before any work starts.
#include <string>
#include <vector>

#include "batch/video_run.h"


struct BatchOptions {
    bool help = false;   // -h, -H, -? or --help: print_batch_help, exit 0
    bool quiet = false;  // -w: only warnings and errors on standard error
    // -g: the run's frames as one animated GLB, at --fps frames a second.
    std::string gltf_file;
    bool gltf_from_base = false;  // -g without a name: the output base's .glb
    int fps = 24;
    // --video, --video-size, --turntable, --viewer-camera; its rate is --fps.
    VideoSettings video;
    // A batch option rejected, in words; the run ends as a bad command line.
    std::string error;
    // Every argument the shared command line should see, program name first.
    std::vector<char*> shared_arguments;
};

// Picks the batch tool's own options out of argv. Options that take a value
// take the next argument whole, as the shared command line does, so "-o -w"
// names an output base "-w".
BatchOptions take_batch_options(int argc, char** argv);

void print_batch_help(const char* program_name);

// The directory a run writes an output base's files into (its frames and
// the sphere files beside them), "." when the base has no folder part.
std::string output_directory(const std::string& output_base);

// Creates and removes a file in the directory. Empty when that worked,
// otherwise the reason ("Permission denied", ...).
std::string directory_write_failure(const std::string& directory);
