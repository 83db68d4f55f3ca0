// A pause that ends early when the owner is being torn down, so that no
// controller thread outlives the object that started it.
#pragma once

#include <condition_variable>
#include <mutex>

namespace zel {

class ShutdownSignal {
  public:
    // Waits ms milliseconds; false when the shutdown came first (or before).
    bool Pause(unsigned ms);
    void Raise();
    bool IsRaised() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool raised_ = false;
};

}  // namespace zel
