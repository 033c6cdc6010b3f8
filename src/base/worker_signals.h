#pragma once
// Threads the library starts hold back the stop signals (SIGINT, SIGTERM),
// so that a program's handlers run on the thread that started the work, one
// signal after the other in the order they are delivered; a worker taking
// one signal while the main thread takes another would race for which was
// first. Made around a thread's creation (a new thread takes its creator's
// mask); the creator's own mask is put back when it goes.
#include <pthread.h>
#include <signal.h>

namespace kestrane {
struct StopSignalsHeldBack {
    sigset_t previous;
    StopSignalsHeldBack()
    {
        sigset_t stop;
        sigemptyset(&stop);
        sigaddset(&stop, SIGINT);
        sigaddset(&stop, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &stop, &previous);
    }
    ~StopSignalsHeldBack() { pthread_sigmask(SIG_SETMASK, &previous, nullptr); }
    StopSignalsHeldBack(const StopSignalsHeldBack&) = delete;
    StopSignalsHeldBack& operator=(const StopSignalsHeldBack&) = delete;
};

}  // namespace kestrane
