#include "app/command_line.h"
#include "base/app_state.h"
#include "gl/windows.h"

int main(int argc, char** argv)
{
    release_volumes();
    if (parse_command_line(argc, argv) != 0) quit_program();
    create_windows_and_run(argc, argv);
    return 0;
}
