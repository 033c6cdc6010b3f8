#include "batch/interrupts.h"

#include <signal.h>
#include <unistd.h>

#include <cstring>

#include "output/output_file.h"

using namespace kestrane;

namespace {

volatile sig_atomic_t requested = 0;

void say(const char* text) { (void)!write(STDERR_FILENO, text, std::strlen(text)); }

void on_interrupt(int signal_number)
{
    if (requested == 0) {
        requested = signal_number;
        say("\nStopping after the file being written (interrupt again to stop at once)\n");
        return;
    }
    remove_open_temporaries();
    say("\nStopped at once; no partly written file is left\n");
    _exit(interrupt_exit_status(signal_number));
}

}  // namespace

void install_interrupt_handlers()
{
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = on_interrupt;
    // Reads and writes in progress go on: the file being written completes.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int interrupt_signal() { return requested; }

int interrupt_exit_status(int signal_number) { return 128 + signal_number; }
