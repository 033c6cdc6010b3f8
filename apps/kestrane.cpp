#include "core/app_state.h"
#include "core/command_line.h"
#include "core/windows.h"

int main(int argc, char** argv)
{
    release_volumes();
    if (parse_command_line(argc, argv) != 0) quit_program();
    create_windows_and_run(argc, argv);
    return 0;
}
