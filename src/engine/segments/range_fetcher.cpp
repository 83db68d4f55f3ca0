#include "engine/segments/range_fetcher.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "engine/engine_texts.h"
#include "engine/transport/back_off.h"
#include "engine/transport/content_range.h"
#include "engine/transport/internet_access.h"

namespace zel {

namespace {

constexpr std::int32_t kReadBufferSize = kPieceBytes;
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

RangeFetcher::RangeFetcher(const SharedSession& session, const SetupManifest& manifest,
                           const Timings& timings, ServerPacing& pacing, AddressTrouble& trouble,
                           RangeSharing& sharing, EngineDialog& dialog,
                           const ManualResetEvent& stopEvent, std::function<bool()> stopRequested)
    : session_(session),
      manifest_(manifest),
      timings_(timings),
      serverPacing_(pacing),
      addressTrouble_(trouble),
      sharing_(sharing),
      dialog_(dialog),
      stopEvent_(stopEvent),
      stopRequested_(std::move(stopRequested)) {}

SegmentResult RangeFetcher::Fetch(CThread& record, const WorkerHooks& hooks) {
    const SegmentResult result = Attempt(record, hooks);
    return EndsInFailure(result) ? RetrySegment(record, hooks, result) : result;
}

SegmentResult RangeFetcher::Attempt(CThread& record, const WorkerHooks& hooks) {
    for (;;) {
        std::string giveWayTo;
        const SegmentResult result = DownloadSegment(record, hooks, &giveWayTo);
        if (giveWayTo.empty()) return result;
        record.startPos += record.received;
        record.chunkLength -= record.received;
        record.received = 0;
        record.url = giveWayTo;
    }
}

void RangeFetcher::FollowEnd(CThread& record) const {
    const std::int32_t end = sharing_.EndOf(record.index);
    if (end >= 0) record.chunkLength = std::max(0, end - record.startPos);
}

bool RangeFetcher::AnswerFitsRange(InternetHandle request, std::int32_t status,
                                   const CThread& record) {
    const WinInetApi& api = session_.Api();
    if (status == 200) {
        // The whole package from its first byte; its length, when stated,
        // must be the package's.
        std::int32_t length = QueryNumberHeader(api, request, inet::kQueryContentLength);
        return length < 0 || length == manifest_.totalSize;
    }
    std::string text;
    ContentRange range;
    if (!QueryTextHeader(api, request, inet::kQueryContentRange, text) ||
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

SegmentResult RangeFetcher::SkipLeadingBytes(InternetHandle request, std::int32_t count,
                                             char* buffer, std::int32_t bufferSize) {
    while (count > 0) {
        if (IsStopRequested()) return ResultStopped;
        Dword read = 0;
        Dword wanted = static_cast<Dword>(std::min(count, bufferSize));
        if (!ReadAvailable(session_.Api(), request, buffer, wanted, &read))
            return ResultTransportError;
        if (read == 0 || read > wanted) return ResultFailed;
        count -= static_cast<std::int32_t>(read);
    }
    return ResultComplete;
}

bool RangeFetcher::FillPiece(const CThread& record, std::int32_t got, InternetHandle request,
                             char* buffer, std::int32_t wanted, std::int32_t* filled,
                             GiveWay& giveWay) {
    // Each write holds the write lock for the write pause, so a line that
    // brings a few KiB at a time is gathered into whole pieces rather than
    // paying that pause per fragment.
    *filled = 0;
    while (*filled < wanted && !IsStopRequested()) {
        Dword read = 0;
        Dword room = static_cast<Dword>(wanted - *filled);
        // Only the wait on the line is timed: the write pause says nothing
        // about the mirror.
        sharing_.NoteReadStart(record.index);
        const auto before = RangeSharing::Clock::now();
        const bool held = ReadAvailable(session_.Api(), request, buffer + *filled, room, &read);
        sharing_.NoteRead(record.index, held && read <= room ? static_cast<std::int32_t>(read) : 0,
                          RangeSharing::Clock::now() - before);
        if (!held) return false;
        if (read == 0 || read > room) break;  // the answer ended
        *filled += static_cast<std::int32_t>(read);
        const unsigned measurements = sharing_.Measurements();
        if (giveWay.to && measurements != giveWay.measurementsSeen) {
            giveWay.measurementsSeen = measurements;
            *giveWay.to = sharing_.GiveWayTo(record.index, record.chunkLength - got - *filled);
            if (!giveWay.to->empty()) break;
        }
    }
    return true;
}

SegmentResult RangeFetcher::DownloadSegment(CThread& record, const WorkerHooks& hooks,
                                            std::string* giveWayTo) {
    if (IsStopRequested()) return ResultStopped;
    // Only a package smaller than the segment count makes empty segments,
    // and a range that another worker took over to its first missing byte.
    FollowEnd(record);
    if (record.chunkLength <= 0) return ResultComplete;
    if (record.url.empty()) {
        dialog_.ShowMessageBox(texts::kNoDownloadInformation, kMbOk);
        return ResultStopped;
    }
    const WinInetApi& api = session_.Api();
    UrlParts parts;
    if (!CrackUrl(api, record.url, parts)) return ResultFailed;
    if (IsStopRequested()) return ResultStopped;
    if (!IsWebScheme(parts)) return ResultFailed;

    if (!api.HttpAddRequestHeadersA || !api.HttpSendRequestA || !api.InternetReadFile)
        return ResultFailed;
    ScopedInternetHandle connection = ConnectToHost(api, session_.Handle(), parts);
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
    sharing_.NoteRequest(record.index, record.url);
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
    dialog_.EnablePauseButton(true);

    SegmentResult result = ResultFailed;
    std::int32_t wanted = kReadBufferSize;
    std::int32_t got = 0;
    GiveWay giveWay{giveWayTo, sharing_.Measurements()};
    do {
        if (IsStopRequested()) {
            result = ResultStopped;
            break;
        }
        // The tail may have been taken over since the last piece.
        FollowEnd(record);
        if (got >= record.chunkLength) break;
        if (got + wanted > record.chunkLength) wanted = record.chunkLength - got;
        std::int32_t count = 0;
        bool lineHeld =
            FillPiece(record, got, request.Get(), buffer.data(), wanted, &count, giveWay);
        if (count > 0) {
            // Fewer land than were read when the tail was taken over
            // meanwhile: those belong to the worker that took it.
            std::int32_t written = 0;
            if (!hooks.writeAt(record.index, record.startPos + got, buffer.data(), count, &written))
                break;
            got += written;
            lastWorkerBytes_ = got;
        }
        if (!lineHeld) {
            result = ResultTransportError;
            break;
        }
        FollowEnd(record);
        if (got >= record.chunkLength) break;
        if (giveWayTo && !giveWayTo->empty()) break;
        if (count < wanted && !IsStopRequested()) break;  // the answer ended early
    } while (got < record.chunkLength);
    record.received = got;
    if (got > 0) addressTrouble_.NoteProgress(record.url);
    FollowEnd(record);
    if (got >= record.chunkLength) {
        result = ResultComplete;
        if (giveWayTo) giveWayTo->clear();
    }
    return result;
}

SegmentResult RangeFetcher::RetrySegment(CThread& record, const WorkerHooks& hooks,
                                         SegmentResult first) {
    SegmentResult result = first;
    // The first retry keeps its own longer wait; the back-off paces the
    // attempts after it, from their usual short wait on.
    BackOff backOff(timings_.nextRetryWaitMs, timings_.backOffCapMs, timings_.backOffRandom);
    unsigned failuresHere = record.received > 0 ? 0 : 1;
    unsigned wait = timings_.firstRetryWaitMs;
    for (;;) {
        // What was left of the range may have gone to another worker.
        if (sharing_.EndOf(record.index) >= 0 &&
            sharing_.EndOf(record.index) <= record.startPos + record.received)
            return ResultComplete;
        WaitBeforeRetry(record, wait);
        // A stop asked for while the line is down ends the worker as
        // stopped: the user's command, not the lost line, decides the run.
        if (IsStopRequested()) return ResultStopped;
        if (!session_.IsConnected()) return result;
        record.startPos += record.received;
        record.chunkLength -= record.received;
        record.received = 0;
        result = IsStopRequested() ? ResultStopped : Attempt(record, hooks);
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

unsigned RangeFetcher::ServerWaitMs(const std::string& url) const {
    UrlParts parts;
    if (url.empty() || !CrackUrl(session_.Api(), url, parts)) return 0;
    return serverPacing_.WaitMs(HostKey(parts));
}

void RangeFetcher::WaitBeforeRetry(const CThread& record, unsigned chosenMs) {
    const unsigned wait = std::max(chosenMs, ServerWaitMs(record.url));
    if (timings_.onRetryWait) timings_.onRetryWait(RetryLoop::Worker, wait);
    // Pause, Restart and Cancel must not wait out a long back-off.
    if (wait > 0) stopEvent_.WaitFor(std::chrono::milliseconds(wait));
}

void RangeFetcher::MoveToAnotherAlternate(CThread& record) {
    addressTrouble_.NoteFailure(record.url);
    const std::vector<std::string>& alternates = manifest_.alternateUrls;
    const auto here = std::find(alternates.begin(), alternates.end(), record.url);
    if (here == alternates.end()) return;
    const std::int32_t next =
        ChooseAlternate(alternates, static_cast<std::int32_t>(here - alternates.begin()),
                        [this](const std::string& url) { return addressTrouble_.Rank(url); });
    if (next >= 0) record.url = alternates[static_cast<std::size_t>(next)];
}

}  // namespace zel
