#include "background_call.h"

#include <chrono>
#include <optional>
#include <thread>

namespace kestrane_python {

using kestrane::ProgressEvent;
using kestrane::Report;

const char* stage_name(kestrane::Stage stage)
{
    switch (stage) {
    case kestrane::Stage::Reading: return "reading";
    case kestrane::Stage::Sizing: return "sizing";
    case kestrane::Stage::Converting: return "converting";
    case kestrane::Stage::Transforming: return "transforming";
    case kestrane::Stage::Extracting: return "extracting";
    case kestrane::Stage::Linking: return "linking";
    case kestrane::Stage::Frame: return "frame";
    }
    return "unknown";
}

py::handle morph_warning;

BackgroundCall::BackgroundCall(py::object progress) : callback_(std::move(progress)) {}

void BackgroundCall::progress(const ProgressEvent& event)
{
    // Without a callback, frames' slice events would only wake the waiter.
    if (callback_.is_none()) return;
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.emplace_back(event);
    wake_.notify_all();
}

void BackgroundCall::report(const Report& report)
{
    // Errors come back as the call's Result; only warnings travel this way.
    if (report.severity != kestrane::Severity::Warning) return;
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.emplace_back(report);
    wake_.notify_all();
}

void BackgroundCall::deliver(std::vector<std::variant<ProgressEvent, Report>>& items)
{
    for (auto& item : items) {
        if (const auto* event = std::get_if<ProgressEvent>(&item)) {
            callback_(py::cast(*event));
        } else {
            const Report& report = std::get<Report>(item);
            if (PyErr_WarnEx(morph_warning.ptr(), report.reason.c_str(), 1) != 0) throw py::error_already_set();
        }
    }
    items.clear();
}

void BackgroundCall::run(const std::function<void()>& work)
{
    using namespace std::chrono_literals;
    cancel_ = false;
    finished_ = false;
    queue_.clear();
    std::exception_ptr failure;
    std::thread worker;
    {
        py::gil_scoped_release nogil;
        worker = std::thread([&] {
            try {
                work();
            } catch (...) {
                failure = std::current_exception();
            }
            std::lock_guard<std::mutex> lock(mutex_);
            finished_ = true;
            wake_.notify_all();
        });
    }
    std::optional<py::error_already_set> stopped;
    std::vector<std::variant<ProgressEvent, Report>> items;
    for (;;) {
        bool done;
        {
            py::gil_scoped_release nogil;
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait_for(lock, 20ms, [&] { return finished_ || !queue_.empty(); });
            items.swap(queue_);
            done = finished_;
        }
        if (!stopped) {
            try {
                deliver(items);
                if (PyErr_CheckSignals() != 0) throw py::error_already_set();
            } catch (py::error_already_set& e) {
                stopped.emplace(std::move(e));
                cancel_ = true;
            }
        }
        items.clear();
        if (done) break;
    }
    {
        py::gil_scoped_release nogil;
        worker.join();
    }
    if (stopped) throw std::move(*stopped);
    if (failure) std::rethrow_exception(failure);
}

}  // namespace kestrane_python
