// How the ranges of a run are shared out over its connections and the
// manifest's alternates. The run starts its segments on different mirrors;
// every worker's line is timed while it reads; a worker whose range is done
// takes over the tail of another's, and a connection that brings far less
// than another mirror gives way to it. A run never has more connections than
// it started with: only the workers it started ever fetch, each one request
// at a time.
//
// Its own speedLock_ guards the timings of the lines; it is taken only
// after whatever else its callers hold is released, and the plan's write
// lock (a take-over's cut) never while it is held.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "engine/segments/segment.h"
#include "engine/segments/segment_plan.h"
#include "engine/timings.h"
#include "engine/transport/address_trouble.h"

namespace zel {

// The most a worker reads before it writes: one piece.
inline constexpr std::int32_t kPieceBytes = 32768;

// The least a finished worker takes over (half of another's open range),
// and the least a slow connection must still have to fetch before it gives
// way: a new request costs a round trip and a new connection's slow start,
// which on a line of 100 ms round trip brings its first 200 KiB or so below
// the line's speed, plus the pause before a request is sent; below 256 KiB
// that ramp would eat most of what the move could gain. At the write
// pause's 320 KB/s it is still almost a second of download.
inline constexpr std::int32_t kMinTakeOverBytes = 256 * 1024;

// What a new request costs before its bytes flow at the line's speed: a
// round trip or two and the start of a new connection, about a fifth of a
// second on a real line. A range that its own line brings within that time
// is not worth another request.
inline constexpr double kRequestCostSeconds = 0.2;

// A window of a line's timing also ends once it has brought this much: a
// fast line is then known well before the window's time is up.
inline constexpr std::int64_t kWindowBytes = kMinTakeOverBytes;

// A connection gives way to a mirror known to be more than this many times
// faster (a probe of a mirror not tried before goes back to a faster one
// at once).
inline constexpr double kSlowLineFactor = 4.0;

class RangeSharing {
  public:
    using Clock = std::chrono::steady_clock;

    RangeSharing(SegmentPlan& plan, const Timings& timings, const AddressTrouble& trouble)
        : plan_(plan), timings_(timings), trouble_(trouble) {}
    RangeSharing(const RangeSharing&) = delete;
    RangeSharing& operator=(const RangeSharing&) = delete;

    // A run of these segments begins, no worker running yet. The first
    // keeps the chosen address; each further one takes the next alternate
    // that is not failing, in turn. The first of the manifest's alternates,
    // which the choice itself never lands on, comes last.
    void BeginRun(const std::vector<PlannedSegment*>& segments,
                  const std::vector<std::string>& alternates, const std::string& chosen);

    // Where segment index's range ends now; -1 when the run does not know it.
    std::int32_t EndOf(std::uint8_t index) const { return plan_.EndOf(index); }

    // --- What a worker tells, on its own thread ------------------------------
    void NoteWorkerStart(std::uint8_t index);
    // Its next request goes to url: that line's timing starts afresh.
    void NoteRequest(std::uint8_t index, const std::string& url);
    // It waits on its line for the next bytes.
    void NoteReadStart(std::uint8_t index);
    // A read brought count bytes after waiting lineTime on the line.
    void NoteRead(std::uint8_t index, std::int32_t count, Clock::duration lineTime);
    // Rises whenever a line's speed becomes known anew: only then can the
    // answer of GiveWayTo change.
    unsigned Measurements() const { return measurements_.load(); }
    // The address its connection should give way to now, between two
    // pieces, with remaining bytes still to fetch; empty to go on.
    std::string GiveWayTo(std::uint8_t index, std::int32_t remaining);
    // Its range is done: takes over part of another running worker's and
    // points record at it and at the address to fetch it from. False when
    // no range is worth it.
    bool TakeOver(CThread& record);
    // The worker ends: nobody takes from its range any more. The range it
    // leaves missing.
    SegmentRange Retire(std::uint8_t index);

  private:
    struct Line {
        std::string url;
        bool active = false;
        bool probing = false;    // it went to an address nobody had tried in this run
        bool probeNext = false;  // its next request is such a probe
        // Since when it has waited on the line without a byte; a worker
        // that waits for the write lock or between attempts is not stalled.
        bool reading = false;
        Clock::time_point readingSince;
        Clock::time_point windowStart;
        std::int64_t windowBytes = 0;
        Clock::duration windowLine{};
        bool measured = false;  // a whole window of this connection is timed
        double rate = 0;        // bytes per second of line time, in its last window
    };
    struct Address {
        bool tried = false;  // a request went there in this run
        bool measured = false;
        double rate = 0;  // its latest connection's last window
    };

    // Above this rate the write pause, not the line, sets the pace: another
    // line would add nothing.
    double PaceCeiling() const;
    bool Stalled(const Line& line, Clock::time_point now) const;
    // True when remaining bytes at rate take longer than a new request
    // costs: only then can another request bring them sooner.
    static bool WorthARequest(std::int32_t remaining, double rate);
    // The fastest measured address that no other running worker uses and
    // that is not failing; empty for none. Under speedLock_. (A taker keeps
    // its own address when that is known to be faster still.)
    std::string FastestUnused(std::uint8_t taker, const std::map<std::string, bool>& failing) const;
    // Which of the run's alternates are failing now (the trouble record has
    // a lock of its own: asked before speedLock_ is taken).
    std::map<std::string, bool> Failing() const;

    SegmentPlan& plan_;
    const Timings& timings_;
    const AddressTrouble& trouble_;

    mutable std::mutex speedLock_;
    std::map<std::uint8_t, Line> lines_;        // under speedLock_
    std::map<std::string, Address> addresses_;  // under speedLock_
    std::vector<std::string> rotation_;         // set by BeginRun
    bool probeUnderway_ = false;                // under speedLock_
    std::atomic<unsigned> measurements_{0};
};

}  // namespace zel
