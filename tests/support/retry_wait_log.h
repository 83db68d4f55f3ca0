// The waits the retry loops chose, recorded through the timings record as
// they are chosen: tests check the schedule instead of timing it.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/timings.h"

namespace zel::test {

class RetryWaitLog {
  public:
    // Hooks timings up to this log; the log must outlive whatever uses them.
    void Attach(Timings& timings) {
        timings.onRetryWait = [this](RetryLoop loop, unsigned ms) {
            std::lock_guard<std::mutex> lock(mutex_);
            waits_.push_back({loop, ms});
        };
    }
    std::vector<unsigned> Of(RetryLoop loop) const {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<unsigned> found;
        for (const auto& wait : waits_)
            if (wait.loop == loop) found.push_back(wait.ms);
        return found;
    }

  private:
    struct Wait {
        RetryLoop loop;
        unsigned ms;
    };
    mutable std::mutex mutex_;
    std::vector<Wait> waits_;
};

// Draws that always land on the top of the back-off's range: the waits are
// then the ceilings themselves.
inline std::function<std::uint32_t()> HighestDraws() {
    return [] { return UINT32_MAX; };
}

}  // namespace zel::test
