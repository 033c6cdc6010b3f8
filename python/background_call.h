#pragma once
// A long C++ call runs on a thread of its own while the calling Python
// thread waits in short slices with the GIL released. Between slices it
// takes the GIL back to hand the morph's events to Python and to run the
// signal handlers, so Ctrl-C and other Python threads are never held up.
#include <pybind11/pybind11.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <variant>
#include <vector>

#include "morph/morph_events.h"

namespace kestrane_python {

namespace py = pybind11;

class BackgroundCall : private kestrane::MorphObserver {
public:
    // progress: a callable taking a ProgressEvent, or None.
    explicit BackgroundCall(py::object progress);

    // For the C++ call; both are used on the worker thread.
    kestrane::MorphObserver* observer() { return this; }
    const std::atomic<bool>* cancel() const { return &cancel_; }

    // Runs work on a new thread and waits for it with the GIL held on entry
    // and exit. A Python exception on the waiting side (a signal handler's
    // KeyboardInterrupt, the callback's own, a warning made an error) raises
    // the cancel flag, waits for the work to stop and is rethrown; else an
    // exception of the work is rethrown.
    void run(const std::function<void()>& work);

private:
    void progress(const kestrane::ProgressEvent& event) override;
    void report(const kestrane::Report& report) override;
    void deliver(std::vector<std::variant<kestrane::ProgressEvent, kestrane::Report>>& items);

    py::object callback_;
    std::atomic<bool> cancel_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::variant<kestrane::ProgressEvent, kestrane::Report>> queue_;
    bool finished_ = false;
};

// kestrane.MorphWarning, set when the module is made: the category of the
// warnings a morph reports.
extern py::handle morph_warning;

// A stage's name in events ("reading", "sizing", ..., "frame").
const char* stage_name(kestrane::Stage stage);

}  // namespace kestrane_python
