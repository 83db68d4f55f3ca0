#include "session/shutdown_signal.h"

#include <chrono>

namespace zel {

bool ShutdownSignal::Pause(unsigned ms, const std::function<bool()>& leaveEarly) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (ms == 0) return !raised_;
    changed_.wait_for(lock, std::chrono::milliseconds(ms),
                      [&] { return raised_ || (leaveEarly && leaveEarly()); });
    return !raised_;
}

void ShutdownSignal::Raise() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        raised_ = true;
    }
    changed_.notify_all();
}

bool ShutdownSignal::IsRaised() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return raised_;
}

void ShutdownSignal::Wake() {
    // Taken once so that a waiter between its check and its sleep does not
    // miss the change that came just before.
    { std::lock_guard<std::mutex> lock(mutex_); }
    changed_.notify_all();
}

}  // namespace zel
