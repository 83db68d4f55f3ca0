// The segmented download as the engine runs it: the package file and the
// segment records are prepared, one worker per record is started, and each
// worker's start, writes and end pass through the engine to the parts.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "engine/download_engine.h"
#include "engine/segments/resume_state.h"
#include "sys/target_file.h"

namespace zel {

bool DownloadEngine::CreateTargetFile(const std::string& path, std::int32_t size) {
    if (!WorkersGone()) return false;
    return plan_.CreatePackage(path, size);
}

bool DownloadEngine::OpenTargetFile(const std::string& path) {
    if (!WorkersGone()) return false;
    return plan_.OpenPackage(path);
}

bool DownloadEngine::CloseTargetFile() {
    if (!WorkersGone()) return false;
    plan_.ClosePackage();
    return true;
}

WorkerHooks DownloadEngine::OwnHooks() {
    WorkerHooks hooks;
    hooks.onStarted = [this](std::uint8_t i) { OnWorkerStarted(i); };
    hooks.onFinished = [this](std::uint8_t i, SegmentResult r, std::int32_t next,
                              std::int32_t remaining) { OnWorkerFinished(i, r, next, remaining); };
    hooks.writeAt = [this](std::uint8_t i, std::int32_t offset, const char* buffer,
                           std::int32_t count, std::int32_t* written) {
        return WriteSegmentData(i, offset, buffer, count, written);
    };
    return hooks;
}

bool DownloadEngine::AddSegment(std::uint8_t index, std::int32_t start, std::int32_t length) {
    if (!WorkersGone()) return false;
    CThread record;
    record.index = index;
    record.startPos = start;
    record.chunkLength = length;
    record.url = manifest_.setupUrl;
    plan_.Add(record, OwnHooks());
    return true;
}

bool DownloadEngine::ClearSegments() {
    if (!WorkersGone()) return false;
    plan_.Clear();
    return true;
}

bool DownloadEngine::PrepareFreshDownload(std::int32_t size) {
    // Segments read from a resume file that was then discarded must not be
    // downloaded beside the fresh ones.
    if (!ClearSegments()) return false;
    const std::string path = PackagePath();
    TargetFile::Delete(path);
    {
        std::lock_guard<std::mutex> lock(manifestLock_);
        manifest_.totalSize = size;
    }
    if (!CreateTargetFile(path, size)) return false;
    const auto ranges = SplitIntoSegments(size, manifest_.threadCount);
    {
        // The workers expected are the segments made, also when the count
        // read from a resume file was unusable.
        std::lock_guard<std::mutex> lock(manifestLock_);
        manifest_.threadCount = static_cast<std::uint8_t>(ranges.size());
    }
    for (std::size_t i = 0; i < ranges.size(); ++i)
        AddSegment(static_cast<std::uint8_t>(i), ranges[i].start, ranges[i].length);
    return true;
}

bool DownloadEngine::StartWorkers(bool resume) {
    if (!WorkersGone()) return false;
    // Until this returns, the records are in use here even when no worker
    // runs: between two launches, and while the ranges without a worker are
    // wound up, whose last end posts the finished message.
    startingWorkers_ = true;
    struct EndOfStart {
        std::atomic<bool>& flag;
        ~EndOfStart() { flag = false; }
    } endOfStart{startingWorkers_};

    const std::vector<PlannedSegment*> segments = plan_.All();
    stopEvent_.Reset();
    if (!resume) plan_.SetTotalWritten(0);
    fetcher_.BeginRun();
    writer_.BeginRun(segments, StateFilePath(), manifest_.setupHash);
    sharing_.BeginRun(segments, manifest_.alternateUrls, manifest_.setupUrl);

    std::vector<CThread> unstarted;
    bool launchFailed = false;
    for (PlannedSegment* segment : segments) {
        // After a failed launch, or a stop during the stagger, the rest get
        // no worker.
        if (launchFailed || (segment != segments.front() && IsStopRequested())) {
            unstarted.push_back(segment->record);
            continue;
        }
        // Counted before the thread exists, so that whoever waits for the
        // workers never sees 0 while one is about to run.
        ++runningWorkers_;
        if (!workerThreads_.Start([this, segment] { WorkerMain(segment); })) {
            --runningWorkers_;
            launchFailed = true;
            unstarted.push_back(segment->record);
            stopEvent_.Set();
            continue;
        }
        stopEvent_.WaitFor(std::chrono::milliseconds(timings_.workerStartStaggerMs));
    }
    // Ranges without a worker end as stopped: they go to the resume file and
    // count towards the run's end, so the finished message still comes.
    for (const CThread& record : unstarted)
        OnWorkerFinished(record.index, ResultStopped, record.startPos, record.chunkLength);
    if (resume && !launchFailed) writer_.TakeResumeFile();
    return !launchFailed;
}

bool DownloadEngine::RequestStop() {
    if (stopEvent_.IsSet()) return false;
    stopEvent_.Set();
    return true;
}

bool DownloadEngine::IsStopRequested() const {
    return stopEvent_.IsSet() || userCommand_.load() == CommandCancel;
}

void DownloadEngine::WorkerMain(PlannedSegment* segment) {
    if (timings_.workerEntryPauseMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(timings_.workerEntryPauseMs));
    CThread& record = segment->record;
    const WorkerHooks& hooks = segment->hooks;
    hooks.onStarted(record.index);
    sharing_.NoteWorkerStart(record.index);
    SegmentResult result = fetcher_.Fetch(record, hooks);
    while (result == ResultComplete && !IsStopRequested() && sharing_.TakeOver(record))
        result = fetcher_.Fetch(record, hooks);
    // What is missing of the range as the plan has it: its tail may have
    // gone to another worker, which leaves that part itself.
    const bool planned = sharing_.EndOf(record.index) >= 0;
    const SegmentRange left = sharing_.Retire(record.index);
    if (planned)
        hooks.onFinished(record.index, result, left.start, left.length);
    else
        hooks.onFinished(record.index, result, record.NextStart(), record.Remaining());
    // The records may go once no worker runs: nothing of this one is touched
    // after this.
    --runningWorkers_;
}

void DownloadEngine::OnWorkerStarted(std::uint8_t) {
    std::lock_guard<std::mutex> lock(startLock_);
    if (timings_.workerStartPauseMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(timings_.workerStartPauseMs));
}

bool DownloadEngine::WriteSegmentData(std::uint8_t index, std::int32_t offset, const char* buffer,
                                      std::int32_t count, std::int32_t* written) {
    return plan_.Write(index, offset, buffer, count, manifest_.totalSize, timings_.writePauseMs,
                       written);
}

void DownloadEngine::OnWorkerFinished(std::uint8_t index, SegmentResult result,
                                      std::int32_t nextStart, std::int32_t remaining) {
    const ResumeFileWriter::WorkerEnd end =
        writer_.OnWorkerFinished(index, result, nextStart, remaining, [this] {
            plan_.ClosePackage();
            session_.Close();
        });
    // Posted outside the lock: a dialog that acts on the message at once
    // (joining the threads of the run) must not wait for a checkpoint that
    // waits for this lock.
    if (end.postFinished) PostToNotifyWindow(WM_DOWNLOAD_FINISHED, end.workersFailed, end.reported);
}

}  // namespace zel
