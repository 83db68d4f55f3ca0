// A manual-reset event: once set, it stays set for every waiter until reset.
#pragma once

#include <chrono>
#include <condition_variable>
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

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool set_ = false;
};

}  // namespace zel
