// The segmented download: the package file, the segment records, and the
// worker threads that fetch one byte range each and write it at its offset.
#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "engine/back_off.h"
#include "engine/content_range.h"
#include "engine/download_engine.h"
#include "engine/internet_access.h"
#include "engine/resume_state.h"

namespace zel {

namespace {

constexpr std::int32_t kReadBufferSize = 32768;
// Attempts in a row that fail at one address without a byte before the
// worker turns to another alternate: the first failure may be a passing
// glitch, retried where it happened.
constexpr unsigned kFailuresBeforeNextAlternate = 2;

void Pause(unsigned milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::string FormatRangeHeader(const CThread& record) {
    return "Range: bytes=" + std::to_string(record.startPos) + "-" +
           std::to_string(record.startPos + record.chunkLength - 1);
}

bool EndsInFailure(SegmentResult result) {
    return result == ResultFailed || result == ResultTransportError;
}

}  // namespace

bool DownloadEngine::CreateTargetFile(const std::string& path, std::int32_t size) {
    if (!WorkersGone()) return false;
    if (!targetFile_.Open(path, TargetFile::OpenMode::CreateAlways)) return false;
    // A half-filled file must not stay open: the next create or open of the
    // same path would meet this handle.
    if (targetFile_.Preallocate(size)) return true;
    targetFile_.Close();
    return false;
}

bool DownloadEngine::OpenTargetFile(const std::string& path) {
    if (!WorkersGone()) return false;
    return targetFile_.Open(path, TargetFile::OpenMode::OpenExisting);
}

bool DownloadEngine::CloseTargetFile() {
    if (!WorkersGone()) return false;
    targetFile_.Close();
    return true;
}

bool DownloadEngine::AddSegment(std::uint8_t index, std::int32_t start, std::int32_t length) {
    if (!WorkersGone()) return false;
    auto record = std::make_unique<CThread>();
    record->index = index;
    record->startPos = start;
    record->chunkLength = length;
    record->url = manifest_.setupUrl;
    record->onStarted = [this](std::uint8_t i) { OnWorkerStarted(i); };
    record->onFinished = [this](std::uint8_t i, SegmentResult r, std::int32_t next,
                                std::int32_t remaining) {
        OnWorkerFinished(i, r, next, remaining);
    };
    record->writeAt = [this](std::uint8_t i, std::int32_t offset, const char* buffer,
                             std::int32_t count, std::int32_t* written) {
        return WriteSegmentData(i, offset, buffer, count, written);
    };
    segments_.push_back(std::move(record));
    return true;
}

bool DownloadEngine::ClearSegments() {
    if (!WorkersGone()) return false;
    segments_.clear();
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
    // Once the first worker runs, nothing here may change the records; what
    // the loop needs is taken now.
    std::vector<CThread*> records;
    for (const auto& record : segments_) records.push_back(record.get());
    {
        std::lock_guard<std::mutex> lock(finishLock_);
        workersExpected_ = static_cast<std::uint8_t>(records.size());
        workersFinished_ = 0;
        runTakenOver_ = false;
        leftBytesResult_ = ResultComplete;
        runEndState_.clear();
        // A resumed run keeps the file it was resumed from: it describes
        // bytes on disk until this run's first checkpoint replaces it.
        resumeFileTaken_ = false;
    }
    stopEvent_.Reset();
    if (!resume) totalWritten_ = 0;
    StartCheckpoints(records);

    std::vector<CThread> unstarted;
    bool launchFailed = false;
    for (CThread* record : records) {
        // After a failed launch, or a stop during the stagger, the rest get
        // no worker.
        if (launchFailed || (record != records.front() && IsStopRequested())) {
            unstarted.push_back(*record);
            continue;
        }
        // Counted before the thread exists, so that whoever waits for the
        // workers never sees 0 while one is about to run.
        ++runningWorkers_;
        if (!workerThreads_.Start([this, record] { WorkerMain(record); })) {
            --runningWorkers_;
            launchFailed = true;
            unstarted.push_back(*record);
            stopEvent_.Set();
            continue;
        }
        stopEvent_.WaitFor(std::chrono::milliseconds(timings_.workerStartStaggerMs));
    }
    // Ranges without a worker end as stopped: they go to the resume file and
    // count towards the run's end, so the finished message still comes.
    for (const CThread& record : unstarted)
        OnWorkerFinished(record.index, ResultStopped, record.startPos, record.chunkLength);
    if (resume && !launchFailed) {
        std::lock_guard<std::mutex> lock(finishLock_);
        resumeFileTaken_ = true;
    }
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

void DownloadEngine::WorkerMain(CThread* record) {
    Pause(timings_.workerEntryPauseMs);
    record->onStarted(record->index);
    SegmentResult result = DownloadSegment(*record);
    if (EndsInFailure(result)) result = RetrySegment(*record, result);
    record->onFinished(record->index, result, record->NextStart(), record->Remaining());
    // The records may go once no worker runs: nothing of this one is touched
    // after this.
    --runningWorkers_;
}

bool DownloadEngine::AnswerFitsRange(InternetHandle request, std::int32_t status,
                                     const CThread& record) {
    if (status == 200) {
        // The whole package from its first byte; its length, when stated,
        // must be the package's.
        std::int32_t length = QueryNumberHeader(internetApi_, request, inet::kQueryContentLength);
        return length < 0 || length == manifest_.totalSize;
    }
    std::string text;
    ContentRange range;
    if (!QueryTextHeader(internetApi_, request, inet::kQueryContentRange, text) ||
        !ParseContentRange(text, &range))
        return false;
    // A piece ending early is fine (the retry asks for the rest); a shifted
    // piece or one of another file would land at the wrong place.
    if (range.first != record.startPos) return false;
    if (range.total == manifest_.totalSize) return true;
    // A complete length of "*" (the server does not know it, or will not
    // say): the size request told it already, so the exact piece asked for
    // is as good as any.
    return range.total < 0 && range.last == record.startPos + record.chunkLength - 1;
}

SegmentResult DownloadEngine::SkipLeadingBytes(InternetHandle request, std::int32_t count,
                                               char* buffer, std::int32_t bufferSize) {
    while (count > 0) {
        if (IsStopRequested()) return ResultStopped;
        Dword read = 0;
        Dword wanted = static_cast<Dword>(std::min(count, bufferSize));
        if (!ReadAvailable(internetApi_, request, buffer, wanted, &read))
            return ResultTransportError;
        if (read == 0 || read > wanted) return ResultFailed;
        count -= static_cast<std::int32_t>(read);
    }
    return ResultComplete;
}

bool DownloadEngine::FillPiece(InternetHandle request, char* buffer, std::int32_t wanted,
                               std::int32_t* filled) {
    // Each write holds the write lock for the write pause, so a line that
    // brings a few KiB at a time is gathered into whole pieces rather than
    // paying that pause per fragment.
    *filled = 0;
    while (*filled < wanted && !IsStopRequested()) {
        Dword read = 0;
        Dword room = static_cast<Dword>(wanted - *filled);
        if (!ReadAvailable(internetApi_, request, buffer + *filled, room, &read)) return false;
        if (read == 0 || read > room) break;  // the answer ended
        *filled += static_cast<std::int32_t>(read);
    }
    return true;
}

SegmentResult DownloadEngine::DownloadSegment(CThread& record) {
    if (IsStopRequested()) return ResultStopped;
    // Only a package smaller than the segment count makes empty segments.
    if (record.chunkLength <= 0) return ResultComplete;
    if (record.url.empty()) {
        ownerDialog_.ShowMessageBox("Not able to collect download information!", kMbOk);
        return ResultStopped;
    }
    UrlParts parts;
    if (!CrackUrl(internetApi_, record.url, parts)) return ResultFailed;
    if (IsStopRequested()) return ResultStopped;
    if (!IsWebScheme(parts)) return ResultFailed;

    const WinInetApi& api = internetApi_;
    if (!api.HttpAddRequestHeadersA || !api.HttpSendRequestA || !api.InternetReadFile)
        return ResultFailed;
    ScopedInternetHandle connection = ConnectToHost(api, internetSession_.load(), parts);
    if (!connection) return ResultFailed;
    ScopedInternetHandle request =
        OpenRequest(api, connection, "GET", parts, inet::kRangeRequestFlags);
    if (!request) return ResultFailed;
    ApplyRequestTimeouts(api, request.Get(), timings_);
    // Without its Range header the request would fetch the whole package.
    std::string range = FormatRangeHeader(record);
    if (!api.HttpAddRequestHeadersA(request.Get(), range.c_str(), static_cast<Dword>(range.size()),
                                    inet::kAddRequestHeaderAdd))
        return ResultFailed;
    Pause(timings_.beforeSendPauseMs);
    // A stop that came while the request was being prepared sends nothing.
    if (IsStopRequested()) return ResultStopped;
    if (!api.HttpSendRequestA(request.Get(), nullptr, 0, nullptr, 0)) return ResultTransportError;
    std::int32_t status = QueryStatusCode(api, request.Get());
    NoteRetryAfter(api, request.Get(), status, parts, &serverPacing_);
    if (status != 200 && status != 206) return ResultFailed;
    if (!AnswerFitsRange(request.Get(), status, record)) return ResultFailed;

    std::vector<char> buffer(static_cast<size_t>(kReadBufferSize));
    if (status == 200) {
        // A server that ignores Range sends the package from byte 0: the
        // bytes before this segment are read past, never written here.
        SegmentResult skipped =
            SkipLeadingBytes(request.Get(), record.startPos, buffer.data(), kReadBufferSize);
        if (skipped != ResultComplete) return skipped;
    }
    ownerDialog_.EnablePauseButton(true);

    SegmentResult result = ResultFailed;
    std::int32_t wanted = kReadBufferSize;
    std::int32_t got = 0;
    do {
        if (IsStopRequested()) {
            result = ResultStopped;
            break;
        }
        if (got + wanted > record.chunkLength) wanted = record.chunkLength - got;
        std::int32_t count = 0;
        bool lineHeld = FillPiece(request.Get(), buffer.data(), wanted, &count);
        if (count > 0) {
            std::int32_t written = 0;
            if (!record.writeAt(record.index, record.startPos + got, buffer.data(), count,
                                &written))
                break;
            got += count;
            lastWorkerBytes_ = got;
        }
        if (!lineHeld) {
            result = ResultTransportError;
            break;
        }
        if (count < wanted && !IsStopRequested()) break;  // the answer ended early
    } while (got < record.chunkLength);
    record.received = got;
    if (got > 0) addressTrouble_.NoteProgress(record.url);
    if (got == record.chunkLength) result = ResultComplete;
    return result;
}

SegmentResult DownloadEngine::RetrySegment(CThread& record, SegmentResult first) {
    SegmentResult result = first;
    // The first retry keeps its own longer wait; the back-off paces the
    // attempts after it, from their usual short wait on.
    BackOff backOff(timings_.nextRetryWaitMs, timings_.backOffCapMs, timings_.backOffRandom);
    unsigned failuresHere = record.received > 0 ? 0 : 1;
    unsigned wait = timings_.firstRetryWaitMs;
    for (;;) {
        WaitBeforeRetry(record, wait);
        if (!CountsAsConnected(internetApi_)) return result;
        record.startPos += record.received;
        record.chunkLength -= record.received;
        record.received = 0;
        result = IsStopRequested() ? ResultStopped : DownloadSegment(record);
        if (result == ResultComplete || result == ResultStopped) {
            stopEvent_.WaitFor(std::chrono::milliseconds(timings_.nextRetryWaitMs));
            return result;
        }
        if (record.received > 0) {
            // Bytes came: whatever failed after them, the fault is not lasting.
            backOff.Reset();
            failuresHere = 0;
        } else if (++failuresHere >= kFailuresBeforeNextAlternate ||
                   addressTrouble_.Rank(record.url) > 0) {
            MoveToAnotherAlternate(record);
            failuresHere = 0;
        }
        wait = backOff.NextWait();
    }
}

void DownloadEngine::WaitBeforeRetry(const CThread& record, unsigned chosenMs) {
    const unsigned wait = std::max(chosenMs, ServerWaitMs(record.url));
    if (timings_.onRetryWait) timings_.onRetryWait(RetryLoop::Worker, wait);
    // Pause, Restart and Cancel must not wait out a long back-off.
    if (wait > 0) stopEvent_.WaitFor(std::chrono::milliseconds(wait));
}

void DownloadEngine::MoveToAnotherAlternate(CThread& record) {
    addressTrouble_.NoteFailure(record.url);
    // The manifest stays as it is while workers run.
    const std::vector<std::string>& alternates = manifest_.alternateUrls;
    const auto here = std::find(alternates.begin(), alternates.end(), record.url);
    if (here == alternates.end()) return;
    const std::int32_t next =
        ChooseAlternate(alternates, static_cast<std::int32_t>(here - alternates.begin()),
                        [this](const std::string& url) { return addressTrouble_.Rank(url); });
    if (next >= 0) record.url = alternates[static_cast<std::size_t>(next)];
}

void DownloadEngine::OnWorkerStarted(std::uint8_t) {
    std::lock_guard<std::mutex> lock(startLock_);
    Pause(timings_.workerStartPauseMs);
}

bool DownloadEngine::WriteSegmentData(std::uint8_t index, std::int32_t offset, const char* buffer,
                                      std::int32_t count, std::int32_t* written) {
    std::lock_guard<std::mutex> lock(writeLock_);
    Pause(timings_.writePauseMs);
    *written = 0;
    // Whatever a server or a resume file claims, nothing lands outside the
    // package.
    if (offset < 0 || count < 0 ||
        static_cast<std::int64_t>(offset) + count > static_cast<std::int64_t>(manifest_.totalSize))
        return false;
    if (!targetFile_.WriteAt(offset, buffer, count)) return false;
    *written = count;
    NoteWriteForWriteBack(count);
    // A checkpoint counts a segment's bytes only up to the first gap: a
    // piece that did not follow on would claim the bytes before it.
    for (SegmentProgress& segment : progress_) {
        if (segment.index == index && segment.next == offset) segment.next = offset + count;
    }
    std::int32_t total = totalWritten_ += count;
    PostToNotifyWindow(WM_DOWNLOAD_PROGRESS, static_cast<std::uintptr_t>(total), 0);
    return true;
}

void DownloadEngine::OnWorkerFinished(std::uint8_t index, SegmentResult result,
                                      std::int32_t nextStart, std::int32_t remaining) {
    bool post = false;
    std::uint8_t failed = 0;
    SegmentResult reported = result;
    {
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
            return;
        }
        // What the run's end writes stands: no checkpoint may follow it.
        checkpointSchedule_.End();
        // The file of a stop always says what is still missing and how far
        // the download came, also when the last worker to end is one that
        // completed its segment: without the global section the next start
        // would throw the file away and fetch everything again. The run
        // then reports how it ended for the bytes it left, not that one
        // worker completed.
        if (!runEndState_.empty()) {
            AppendGlobalState();
            if (result == ResultComplete) reported = leftBytesResult_;
        }
        SaveRunEndState();
        targetFile_.Close();
        CloseInternetSession();
        // A run that a later pass took over ends quietly: that pass reports.
        post = !runTakenOver_;
        failed = workersFailed_;
    }
    // Posted outside the lock: a dialog that acts on the message at once
    // (joining the threads of the run) must not wait for a checkpoint that
    // waits for this lock.
    if (post) PostToNotifyWindow(WM_DOWNLOAD_FINISHED, failed, reported);
}

}  // namespace zel
