// What a worker runs for its segment: the ranged request over the shared
// session, the checks on the answer before a byte of it is written, the
// pieces handed to the segment's write hook, and the retries, paced by a
// back-off and moved to another alternate when one address keeps failing,
// for as long as the machine is online. The range's end is followed as the
// request goes (another worker may take over its tail), each read is timed
// for the run's sharing, and a connection told to give way ends at a piece
// boundary and goes on from the faster mirror.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/engine_dialog.h"
#include "engine/manifest/setup_manifest.h"
#include "engine/segments/range_sharing.h"
#include "engine/segments/segment.h"
#include "engine/timings.h"
#include "engine/transport/address_trouble.h"
#include "engine/transport/server_pacing.h"
#include "engine/transport/shared_session.h"
#include "sys/manual_reset_event.h"

namespace zel {

class RangeFetcher {
  public:
    // Everything it is given outlives it. The manifest does not change while
    // a worker runs; stopEvent is what the waits end on, stopRequested what
    // the reads look at.
    RangeFetcher(const SharedSession& session, const SetupManifest& manifest,
                 const Timings& timings, ServerPacing& pacing, AddressTrouble& trouble,
                 RangeSharing& sharing, EngineDialog& dialog, const ManualResetEvent& stopEvent,
                 std::function<bool()> stopRequested);
    RangeFetcher(const RangeFetcher&) = delete;
    RangeFetcher& operator=(const RangeFetcher&) = delete;

    // Fetches the record's range, and what is missing of it after a
    // failure, writing through hooks.writeAt; the record says what is still
    // missing when it returns.
    SegmentResult Fetch(CThread& record, const WorkerHooks& hooks);
    // The per-attempt byte count of whichever worker wrote last.
    std::int32_t LastWorkerBytes() const { return lastWorkerBytes_.load(); }
    // A run begins: until one of its workers writes, nobody has.
    void BeginRun() { lastWorkerBytes_ = 0; }
    // What is left of the quiet that url's server asked for; 0 when it asked
    // for none.
    unsigned ServerWaitMs(const std::string& url) const;

  private:
    bool IsStopRequested() const { return stopRequested_(); }
    // One request; *giveWayTo names the address to go on from when the
    // line gave way before the range was done.
    SegmentResult DownloadSegment(CThread& record, const WorkerHooks& hooks,
                                  std::string* giveWayTo);
    // DownloadSegment, again at once from the faster address whenever the
    // line gives way.
    SegmentResult Attempt(CThread& record, const WorkerHooks& hooks);
    // The record's length as far as its range still reaches.
    void FollowEnd(CThread& record) const;
    SegmentResult RetrySegment(CThread& record, const WorkerHooks& hooks, SegmentResult first);
    // Waits before a worker's next attempt: the wait its back-off chose, or
    // longer when the server asked for quiet; a stop ends it early.
    void WaitBeforeRetry(const CThread& record, unsigned chosenMs);
    // The record's address keeps failing: counted against it, and the
    // record moves to the alternate with the least trouble, if another.
    void MoveToAnotherAlternate(CThread& record);
    // Fills buffer with up to wanted bytes of the answer, as they arrive;
    // fewer when the answer ends or a stop is requested. False when a read
    // failed: *filled still counts what arrived before, to be written.
    // A line told to give way ends the piece early, naming the address in
    // *giveWayTo; record and got say how much of the range is left, and it
    // asks again only when *measurementsSeen is out of date.
    struct GiveWay {
        std::string* to = nullptr;
        unsigned measurementsSeen = 0;
    };
    bool FillPiece(const CThread& record, std::int32_t got, InternetHandle request, char* buffer,
                   std::int32_t wanted, std::int32_t* filled, GiveWay& giveWay);
    // Reads count bytes of the answer and throws them away: a server that
    // ignores Range sends the package from its first byte.
    SegmentResult SkipLeadingBytes(InternetHandle request, std::int32_t count, char* buffer,
                                   std::int32_t bufferSize);
    // True when the answer may be written at the record's offset.
    bool AnswerFitsRange(InternetHandle request, std::int32_t status, const CThread& record);

    const SharedSession& session_;
    const SetupManifest& manifest_;
    const Timings& timings_;
    ServerPacing& serverPacing_;
    AddressTrouble& addressTrouble_;
    RangeSharing& sharing_;
    EngineDialog& dialog_;
    const ManualResetEvent& stopEvent_;
    std::function<bool()> stopRequested_;
    std::atomic<std::int32_t> lastWorkerBytes_{0};
};

}  // namespace zel
