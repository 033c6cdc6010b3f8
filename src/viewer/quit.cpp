#include "viewer/quit.h"

#include <cstdlib>

#include "app/app_state.h"

void quit_program()
{
    stop_background_work();
    release_volumes();
    std::exit(0);
}
