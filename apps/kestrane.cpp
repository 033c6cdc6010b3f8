#include <cstdio>

#include "app/command_line.h"
#include "app/app_state.h"
#include "gl/windows.h"
#include "viewer/quit.h"

using namespace kestrane;

int main(int argc, char** argv)
{
    release_volumes();
    const int parsed = parse_command_line(argc, argv);
    if (parsed == COMMAND_LINE_HELP) return 0;
    if (parsed != 0) quit_program();
    if (app.first_frame != 0) {
        // The viewer shows the whole morph; parts of it are for batch runs.
        std::fprintf(stderr, "Frame ranges (-s) are for kestrane-batch.\n");
        print_usage(argv[0]);
        quit_program();
    }
    create_windows_and_run(argc, argv);
    return 0;
}
