// Checkpoints of a running download: at a fixed interval, and whenever a
// worker ends, the resume file is replaced by one that counts every byte
// the workers have written and flushed so far. A crash or a power cut then
// costs only the bytes written since, which the next start fetches again.
#include <chrono>

#include "engine/download_engine.h"
#include "engine/resume_state.h"

namespace zel {

void DownloadEngine::StartCheckpoints(const std::vector<CThread*>& records) {
    {
        std::lock_guard<std::mutex> lock(writeLock_);
        progress_.clear();
        for (const CThread* record : records)
            progress_.push_back(
                {record->index, record->startPos, record->startPos + record->chunkLength});
    }
    if (timings_.checkpointIntervalMs == 0 || records.empty()) return;
    lastCheckpoint_.clear();
    checkpointSchedule_.Begin();
    // Without its thread the run goes on as before checkpoints existed: the
    // resume file is written by the run's end only.
    checkpointThread_.Start([this] { CheckpointLoop(); });
}

void DownloadEngine::CheckpointLoop() {
    const std::chrono::milliseconds interval(timings_.checkpointIntervalMs);
    while (checkpointSchedule_.WaitUntilDue(interval)) WriteCheckpoint();
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
    if (FlushPackage() && SaveStateFile(StateFilePath(), text)) lastCheckpoint_ = text;
}

bool DownloadEngine::FlushPackage() {
    // A closed package has taken no write in this run; earlier runs flushed
    // theirs before their state counted them.
    return !targetFile_.IsOpen() || targetFile_.Flush();
}

}  // namespace zel
