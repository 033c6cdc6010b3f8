#include "batch/interrupts.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "app/app_state.h"
#include "app/status.h"
#include "output/output_file.h"

using namespace kestrane;

namespace {

volatile sig_atomic_t requested = 0;
// Raised with the first signal; watched by an import's wait. Lock-free, so
// the handler may store to it.
std::atomic<bool> stop_import{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler stores to it");

// KESTRANE_IMPORT_SECONDS, when it is a positive number.
void set_import_seconds()
{
    const char* text = std::getenv("KESTRANE_IMPORT_SECONDS");
    if (!text || !*text) return;
    char* end = nullptr;
    const double seconds = std::strtod(text, &end);
    if (*end == '\0' && seconds > 0 && seconds < 1e9) app.morph.parameters.import_seconds = seconds;
}

void say(const char* text) { (void)!write(STDERR_FILENO, text, std::strlen(text)); }

void on_interrupt(int signal_number)
{
    if (requested == 0) {
        requested = signal_number;
        stop_import.store(true);
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
    app.morph.parameters.import_cancel = &stop_import;
    set_import_seconds();
}

int interrupt_signal() { return requested; }

int interrupt_exit_status(int signal_number) { return 128 + signal_number; }
