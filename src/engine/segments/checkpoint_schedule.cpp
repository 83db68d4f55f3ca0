#include "engine/segments/checkpoint_schedule.h"

namespace zel {

void CheckpointSchedule::Begin() {
    std::lock_guard<std::mutex> lock(mutex_);
    requested_ = false;
    writeBackRequested_ = false;
    ended_ = false;
    deadlineSet_ = false;
}

void CheckpointSchedule::RequestNow() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requested_ = true;
    }
    changed_.notify_all();
}

void CheckpointSchedule::RequestWriteBack() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        writeBackRequested_ = true;
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

CheckpointSchedule::Due CheckpointSchedule::WaitUntilDue(std::chrono::milliseconds interval) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!deadlineSet_) {
        deadline_ = std::chrono::steady_clock::now() + interval;
        deadlineSet_ = true;
    }
    const bool asked = changed_.wait_until(
        lock, deadline_, [this] { return requested_ || writeBackRequested_ || ended_; });
    if (ended_) return Due::Ended;
    // Past the deadline the checkpoint comes first, however often write-backs
    // are asked for.
    if (!asked || requested_ || std::chrono::steady_clock::now() >= deadline_) {
        requested_ = false;
        writeBackRequested_ = false;
        deadlineSet_ = false;
        return Due::Checkpoint;
    }
    writeBackRequested_ = false;
    return Due::WriteBack;
}

}  // namespace zel
