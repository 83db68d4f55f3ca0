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
#include "engine/segments/resume_file_writer.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "engine/segments/resume_state.h"
#include "sys/install_folder.h"
#include "sys/target_file.h"

namespace zel {

ResumeFileWriter::~ResumeFileWriter() {
    // The engine has ended its runs before this; a thread left waiting for a
    // checkpoint would never be joined otherwise.
    checkpointSchedule_.End();
    Join();
}

void ResumeFileWriter::BeginRun(const std::vector<PlannedSegment*>& segments,
                                const std::string& statePath, const std::string& setupHash) {
    {
        std::lock_guard<std::mutex> lock(finishLock_);
        workersExpected_ = static_cast<std::uint8_t>(segments.size());
        workersFinished_ = 0;
        // A worker that failed in an earlier run says nothing of this one.
        workersFailed_ = 0;
        runTakenOver_ = false;
        leftBytesResult_ = ResultComplete;
        runEndState_.clear();
        // A resumed run keeps the file it was resumed from: it describes
        // bytes on disk until this run's first checkpoint replaces it.
        resumeFileTaken_ = false;
        statePath_ = statePath;
        setupHash_ = setupHash;
    }
    writeBackWanted_ = false;
    plan_.BeginRun(segments);
    if (timings_.checkpointIntervalMs == 0 || segments.empty()) return;
    lastCheckpoint_.clear();
    writeBackFrom_.clear();
    for (const PlannedSegment* segment : segments)
        writeBackFrom_.push_back(segment->record.startPos);
    checkpointSchedule_.Begin();
    // Without its thread the run goes on as before checkpoints existed: the
    // resume file is written by the run's end only.
    if (!checkpointThread_.Start([this] { CheckpointLoop(); })) return;
    bytesSinceWriteBack_ = 0;
    writeBackWanted_ = true;
}

bool ResumeFileWriter::TakeOver() {
    std::lock_guard<std::mutex> lock(finishLock_);
    if (RunEnded()) return false;
    runTakenOver_ = true;
    return true;
}

void ResumeFileWriter::CheckpointLoop() {
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

void ResumeFileWriter::NoteWrite(std::int32_t count) {
    if (!writeBackWanted_) return;
    bytesSinceWriteBack_ += static_cast<unsigned>(count);
    if (bytesSinceWriteBack_ < timings_.writeBackStretchBytes) return;
    bytesSinceWriteBack_ = 0;
    checkpointSchedule_.RequestWriteBack();
}

void ResumeFileWriter::StartWriteBack() {
    std::int32_t total = 0;
    const std::vector<SegmentProgress> progress = plan_.Progress(&total);
    std::lock_guard<std::mutex> lock(finishLock_);
    // Once the run has ended its file is closed, or another run's.
    if (RunEnded()) return;
    for (std::size_t i = 0; i < progress.size() && i < writeBackFrom_.size(); ++i) {
        const std::int32_t from = writeBackFrom_[i];
        if (progress[i].next <= from) continue;
        plan_.StartWriteBack(from, progress[i].next - from);
        writeBackFrom_[i] = progress[i].next;
    }
}

void ResumeFileWriter::WriteCheckpoint() {
    // Between two writes: every byte counted here has been written.
    std::int32_t total = 0;
    const std::vector<SegmentProgress> progress = plan_.Progress(&total);
    const std::string text = FormatCheckpoint(progress, total, setupHash_);
    // Nothing missing: the run's end removes the file. Nothing new (a line
    // that stalls): the file on disk says it already.
    if (text.empty() || text == lastCheckpoint_) return;
    std::lock_guard<std::mutex> lock(finishLock_);
    // Once the run has ended, the state its end wrote stands; this picture
    // is older.
    if (RunEnded()) return;
    if (!plan_.FlushPackage()) return;
    // The flush sent everything counted here on its way: later write-backs
    // start after it.
    for (std::size_t i = 0; i < progress.size() && i < writeBackFrom_.size(); ++i)
        writeBackFrom_[i] = std::max(writeBackFrom_[i], progress[i].next);
    if (SaveStateFile(statePath_, text)) lastCheckpoint_ = text;
}

ResumeFileWriter::WorkerEnd ResumeFileWriter::OnWorkerFinished(
    std::uint8_t index, SegmentResult result, std::int32_t nextStart, std::int32_t remaining,
    const std::function<void()>& closeRun) {
    WorkerEnd end;
    end.reported = result;
    std::lock_guard<std::mutex> lock(finishLock_);
    ++workersFinished_;
    if (result == ResultFailed) ++workersFailed_;
    if (result != ResultComplete && remaining > 0) {
        AppendSegmentState(index, nextStart, remaining);
        leftBytesResult_ = result;
    }
    if (workersFinished_ != workersExpected_) {
        // The others go on: a checkpoint now keeps what this one leaves.
        checkpointSchedule_.RequestNow();
        return end;
    }
    // What the run's end writes stands: no checkpoint may follow it.
    checkpointSchedule_.End();
    // The file of a stop always says what is still missing and how far the
    // download came, also when the last worker to end is one that completed
    // its segment: without the global section the next start would throw the
    // file away and fetch everything again. The run then reports how it
    // ended for the bytes it left, not that one worker completed.
    if (!runEndState_.empty()) {
        AppendGlobalState();
        if (result == ResultComplete) end.reported = leftBytesResult_;
    }
    SaveRunEndState();
    if (closeRun) closeRun();
    // A run that a later pass took over ends quietly: that pass reports.
    end.postFinished = !runTakenOver_;
    end.workersFailed = workersFailed_;
    return end;
}

void ResumeFileWriter::AppendSegmentState(std::uint8_t index, std::int32_t start,
                                          std::int32_t length) {
    runEndState_ += FormatSegmentState(index, start, length);
}

void ResumeFileWriter::AppendGlobalState() {
    const std::int32_t total = plan_.TotalWritten();
    if (timings_.stateAppendPauseMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(timings_.stateAppendPauseMs));
    runEndState_ += FormatGlobalState(total, setupHash_);
}

void ResumeFileWriter::SaveRunEndState() {
    if (runEndState_.empty()) {
        // Every byte is on disk: a checkpoint left behind would only resume
        // a finished package.
        if (GetPathKind(statePath_) == kPathFile) TargetFile::Delete(statePath_);
        const std::string temp = StateTempPath(statePath_);
        if (GetPathKind(temp) == kPathFile) TargetFile::Delete(temp);
        return;
    }
    // The bytes the file counts reach the disk before the file does; when
    // they cannot, the last checkpoint, which counts fewer, stays.
    if (plan_.FlushPackage()) SaveStateFile(statePath_, runEndState_);
}

void ResumeFileWriter::TakeResumeFile() {
    std::lock_guard<std::mutex> lock(finishLock_);
    resumeFileTaken_ = true;
}

void ResumeFileWriter::DeleteStateFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(finishLock_);
    if (resumeFileTaken_) {
        resumeFileTaken_ = false;
        return;
    }
    if (GetPathKind(path) == kPathFile) TargetFile::Delete(path);
}

}  // namespace zel
