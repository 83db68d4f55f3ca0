#include "sys/manual_reset_event.h"

namespace zel {

void ManualResetEvent::Set() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        set_ = true;
    }
    changed_.notify_all();
}

void ManualResetEvent::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = false;
}

bool ManualResetEvent::IsSet() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return set_;
}

bool ManualResetEvent::WaitFor(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return set_; });
}

bool ManualResetEvent::WaitFor(std::chrono::milliseconds timeout,
                               const std::function<bool()>& leaveEarly) const {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return set_ || (leaveEarly && leaveEarly()); });
    return set_;
}

void ManualResetEvent::Wake() const {
    // Taken once so that a waiter between its check and its sleep does not
    // miss the change that came just before.
    { std::lock_guard<std::mutex> lock(mutex_); }
    changed_.notify_all();
}

}  // namespace zel
