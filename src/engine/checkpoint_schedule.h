// When the next checkpoint of a download run is due: a fixed interval after
// the last one, at once when a worker has ended, and never again once the
// run itself has ended and written its own state.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace zel {

class CheckpointSchedule {
  public:
    CheckpointSchedule() = default;
    CheckpointSchedule(const CheckpointSchedule&) = delete;
    CheckpointSchedule& operator=(const CheckpointSchedule&) = delete;

    // A run starts: nothing is due yet.
    void Begin();
    // A checkpoint is due at once.
    void RequestNow();
    // The run has ended: every wait returns false until the next Begin.
    void End();
    // Waits until a checkpoint is due (true) or the run has ended (false).
    bool WaitUntilDue(std::chrono::milliseconds interval);

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool requested_ = false;
    bool ended_ = true;
};

}  // namespace zel
