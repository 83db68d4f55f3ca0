// A manual-reset event: once set, it stays set for every waiter until reset.
// A wait may also end early when a condition the waiter names comes true;
// whoever changes that condition calls Wake.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace zel {

class ManualResetEvent {
  public:
    ManualResetEvent() = default;
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    // True when the event is (or becomes) set within the time-out.
    bool WaitFor(std::chrono::milliseconds timeout) const;
    // The same, or ends as soon as leaveEarly() holds (looked at under the
    // event's own lock); true only when the event is set.
    bool WaitFor(std::chrono::milliseconds timeout, const std::function<bool()>& leaveEarly) const;
    // Has every wait look at its condition again.
    void Wake() const;

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool set_ = false;
};

}  // namespace zel
