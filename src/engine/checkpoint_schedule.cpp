#include "engine/checkpoint_schedule.h"

namespace zel {

void CheckpointSchedule::Begin() {
    std::lock_guard<std::mutex> lock(mutex_);
    requested_ = false;
    ended_ = false;
}

void CheckpointSchedule::RequestNow() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requested_ = true;
    }
    changed_.notify_all();
}

void CheckpointSchedule::End() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
    }
    changed_.notify_all();
}

bool CheckpointSchedule::WaitUntilDue(std::chrono::milliseconds interval) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, interval, [this] { return requested_ || ended_; });
    if (ended_) return false;
    requested_ = false;
    return true;
}

}  // namespace zel
