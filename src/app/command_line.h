#pragma once
#include <cstdint>

// The command line shared by both programs: options and the two file names
// into AppState (every field first set to its default), the help text (on
// standard output: it was asked for) and the usage text (standard error).

// Parse the arguments into app (after app_state_init). The order of the
// options does not matter: a format letter before -o stands. Returns 0
// accepted, 1 illegal or missing argument, 2 unknown option or surplus file
// name, COMMAND_LINE_HELP when the help was asked for (and printed: the
// program then ends with status 0). Prints every message itself.
constexpr int COMMAND_LINE_HELP = 3;
int parse_command_line(int argc, char** argv);
// The most worker threads -j takes.
constexpr int MAX_THREADS = 256;
// "first-last" or "frame" (counted from 1, first <= last) for -s. False for
// anything else.
bool parse_frame_range(const char* text, uint16_t* first, uint16_t* last);
void print_help(const char* program_name);
void print_usage(const char* program_name);
