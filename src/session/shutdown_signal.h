// A pause that ends early when the owner is being torn down, so that no
// controller thread outlives the object that started it. A pause may also
// end early when a condition the waiter names comes true (the user paused
// while the program waits for the line); whoever changes that condition
// calls Wake.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>

namespace zel {

class ShutdownSignal {
  public:
    // Waits ms milliseconds, or until leaveEarly() holds; false when the
    // shutdown came first (or before).
    bool Pause(unsigned ms, const std::function<bool()>& leaveEarly = {});
    void Raise();
    bool IsRaised() const;
    // Has every pause look at its condition again.
    void Wake();

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool raised_ = false;
};

}  // namespace zel
