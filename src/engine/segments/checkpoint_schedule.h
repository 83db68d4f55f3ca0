// When the next checkpoint of a download run is due: a fixed interval after
// the last one, at once when a worker has ended, and never again once the
// run itself has ended and written its own state. Between checkpoints, the
// writers may ask for the write-back of what they wrote to be started.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace zel {

class CheckpointSchedule {
  public:
    enum class Due {
        Checkpoint,  // the interval has passed, or a checkpoint was asked for
        WriteBack,   // only the start of a write-back was asked for
        Ended,       // the run has ended
    };

    CheckpointSchedule() = default;
    CheckpointSchedule(const CheckpointSchedule&) = delete;
    CheckpointSchedule& operator=(const CheckpointSchedule&) = delete;

    // A run starts: nothing is due yet.
    void Begin();
    // A checkpoint is due at once.
    void RequestNow();
    // The start of a write-back is due at once; a checkpoint due at the same
    // time takes its place (its flush writes everything).
    void RequestWriteBack();
    // The run has ended: every wait returns Ended until the next Begin.
    void End();
    // Waits until something is due. The interval runs from the first wait
    // after Begin or after a checkpoint, not from each wait: write-backs
    // between two checkpoints do not put the next one off.
    Due WaitUntilDue(std::chrono::milliseconds interval);

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool requested_ = false;
    bool writeBackRequested_ = false;
    bool ended_ = true;
    bool deadlineSet_ = false;
    std::chrono::steady_clock::time_point deadline_;
};

}  // namespace zel
