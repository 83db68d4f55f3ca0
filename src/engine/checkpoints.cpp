// Checkpoints of a running download: at a fixed interval, and whenever a
// worker ends, the resume file is replaced by one that counts every byte
// the workers have written and flushed so far. A crash or a power cut then
// costs only the bytes written since, which the next start fetches again.
//
// Between checkpoints, each stretch the workers finish is sent on its way
// to the disk at once (started, not waited for), so that the disk works the
// whole time and the checkpoint's flush finds little left to wait for:
// otherwise every flush would write two seconds' worth from a standing
// start. What a checkpoint counts still comes only from its own completed
// flush.
#include <algorithm>
#include <chrono>

#include "engine/download_engine.h"
#include "engine/resume_state.h"

namespace zel {

void DownloadEngine::StartCheckpoints(const std::vector<CThread*>& records) {
    {
        std::lock_guard<std::mutex> lock(writeLock_);
        writeBackWanted_ = false;
        progress_.clear();
        for (const CThread* record : records)
            progress_.push_back(
                {record->index, record->startPos, record->startPos + record->chunkLength});
    }
    if (timings_.checkpointIntervalMs == 0 || records.empty()) return;
    lastCheckpoint_.clear();
    writeBackFrom_.clear();
    for (const CThread* record : records) writeBackFrom_.push_back(record->startPos);
    checkpointSchedule_.Begin();
    // Without its thread the run goes on as before checkpoints existed: the
    // resume file is written by the run's end only.
    if (!checkpointThread_.Start([this] { CheckpointLoop(); })) return;
    std::lock_guard<std::mutex> lock(writeLock_);
    bytesSinceWriteBack_ = 0;
    writeBackWanted_ = true;
}

void DownloadEngine::CheckpointLoop() {
    const std::chrono::milliseconds interval(timings_.checkpointIntervalMs);
    for (;;) {
        switch (checkpointSchedule_.WaitUntilDue(interval)) {
            case CheckpointSchedule::Due::Ended:
                return;
            case CheckpointSchedule::Due::WriteBack:
                StartWriteBack();
                break;
            case CheckpointSchedule::Due::Checkpoint:
                WriteCheckpoint();
                break;
        }
    }
}

void DownloadEngine::NoteWriteForWriteBack(std::int32_t count) {
    if (!writeBackWanted_) return;
    bytesSinceWriteBack_ += static_cast<unsigned>(count);
    if (bytesSinceWriteBack_ < timings_.writeBackStretchBytes) return;
    bytesSinceWriteBack_ = 0;
    checkpointSchedule_.RequestWriteBack();
}

void DownloadEngine::StartWriteBack() {
    std::vector<SegmentProgress> progress;
    {
        std::lock_guard<std::mutex> lock(writeLock_);
        progress = progress_;
    }
    std::lock_guard<std::mutex> lock(finishLock_);
    // Once the run has ended its file is closed, or another run's.
    if (RunEnded()) return;
    for (std::size_t i = 0; i < progress.size() && i < writeBackFrom_.size(); ++i) {
        const std::int32_t from = writeBackFrom_[i];
        if (progress[i].next <= from) continue;
        targetFile_.StartWriteBack(from, progress[i].next - from);
        writeBackFrom_[i] = progress[i].next;
    }
}

void DownloadEngine::WriteCheckpoint() {
    std::vector<SegmentProgress> progress;
    std::int32_t total = 0;
    {
        // Between two writes: every byte counted here has been written.
        std::lock_guard<std::mutex> lock(writeLock_);
        progress = progress_;
        total = totalWritten_.load();
    }
    const std::string text = FormatCheckpoint(progress, total, manifest_.setupHash);
    // Nothing missing: the run's end removes the file. Nothing new (a line
    // that stalls): the file on disk says it already.
    if (text.empty() || text == lastCheckpoint_) return;
    std::lock_guard<std::mutex> lock(finishLock_);
    // Once the run has ended, the state its end wrote stands; this picture
    // is older.
    if (RunEnded()) return;
    if (!FlushPackage()) return;
    // The flush sent everything counted here on its way: later write-backs
    // start after it.
    for (std::size_t i = 0; i < progress.size() && i < writeBackFrom_.size(); ++i)
        writeBackFrom_[i] = std::max(writeBackFrom_[i], progress[i].next);
    if (SaveStateFile(StateFilePath(), text)) lastCheckpoint_ = text;
}

bool DownloadEngine::FlushPackage() {
    // A closed package has taken no write in this run; earlier runs flushed
    // theirs before their state counted them.
    return !targetFile_.IsOpen() || targetFile_.Flush();
}

}  // namespace zel
