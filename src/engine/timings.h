// Every fixed wait and pause of the program in one record. The defaults are
// the program's real pacing; tests shrink them (see Timings::Instant) so that
// they run in milliseconds instead of seconds.
#pragma once

#include <cstdint>
#include <functional>

#include "engine/build_config.h"

namespace zel {

// The retry loops that back off while their failures last.
enum class RetryLoop {
    Pass,       // a session pass that could not get the manifest or the package size
    Worker,     // a worker's failed range attempts
    Reconnect,  // the polls for a lost connection
};

struct Timings {
    // Internet access: time-outs put on every request.
    unsigned requestTimeoutMs = 10000;

    // Manifest and connectivity.
    unsigned connectivityWaitMs = 1000;  // before each connectivity check and between polls

    // Segmented download.
    unsigned workerStartStaggerMs = 750;  // between two worker starts
    unsigned workerEntryPauseMs = 100;    // a worker's first wait after it starts
    unsigned workerStartPauseMs = 100;    // held under the start lock, one worker at a time
    unsigned beforeSendPauseMs = 100;     // before a range request is sent
    unsigned writePauseMs = build::kWritePauseMs;  // held under the write lock per write
    unsigned firstRetryWaitMs = 1000;              // before a failed range is tried again
    unsigned nextRetryWaitMs = 100;                // between further attempts
    unsigned stateAppendPauseMs = 100;             // before the last worker adds the global section
    // Between two checkpoints of the resume state while workers run; a
    // crash loses at most the bytes of one interval. 0: no checkpoints.
    unsigned checkpointIntervalMs = 2000;
    // Between checkpoints, the workers' writes are sent on to the disk every
    // this many bytes (started, not waited for), so that a checkpoint's
    // flush finds little left to write.
    unsigned writeBackStretchBytes = 8 * 1024 * 1024;
    // How long a connection is watched before its speed counts: half a
    // second covers a new connection's slow start on a line of up to about
    // 50 ms round trip and at least one whole 32 KiB piece at 100 KB/s,
    // yet lets a run that began on two slow mirrors find a fast third one
    // and move both connections to it within about a second. A connection
    // that has waited two of these on its line for the next bytes counts as
    // stalled.
    unsigned lineWindowMs = 500;
    // Segments spread over the alternates, a finished worker takes over
    // half of the largest range still open, a slow connection gives way.
    // Off, every segment fetches from the chosen address and keeps its own
    // range to its end, as the program did before; only a benchmark's
    // comparison turns it off.
    bool shareRanges = true;

    // Session controller.
    unsigned sessionRetryWaitMs = 1000;  // before a new pass after a failure or a stop
    unsigned shortWaitMs = 100;          // the controller's short settling waits
    unsigned launchTimerMs = 64;         // from "already downloaded" to the launch
    unsigned workerPollMs = 21;          // one round of waiting for workers to leave
    unsigned workerPollRounds = 8192;    // rounds before giving up on them

    // Faults that last. Each retry loop keeps its first wait above; every
    // further consecutive failure waits a random time between that and
    // min(backOffCapMs, first wait x 2^n).
    unsigned backOffCapMs = 60000;
    // A 503 or 429 answer's Retry-After: how long one of its seconds lasts
    // (tests shrink it), and the longest quiet honoured.
    unsigned retryAfterSecondMs = 1000;
    unsigned retryAfterCapMs = 600000;
    // The back-offs' random draws; null: the program's own, seeded apart for
    // every loop. Tests put a fixed sequence here.
    std::function<std::uint32_t()> backOffRandom;
    // Told every wait a retry loop chose before it waits it (any thread);
    // tests record the schedule here instead of timing it.
    std::function<void(RetryLoop loop, unsigned waitMs)> onRetryWait;

    // The pacing a test wants: no pauses at all, short time-outs, and a
    // bounded wait for workers.
    static Timings Instant() {
        Timings t;
        t.requestTimeoutMs = 5000;
        t.connectivityWaitMs = 0;
        t.workerStartStaggerMs = 0;
        t.workerEntryPauseMs = 0;
        t.workerStartPauseMs = 0;
        t.beforeSendPauseMs = 0;
        t.writePauseMs = 0;
        t.firstRetryWaitMs = 0;
        t.nextRetryWaitMs = 0;
        t.stateAppendPauseMs = 0;
        // Kept on, and frequent, so that every download of a test also runs
        // checkpoints against its workers' writes and ends.
        t.checkpointIntervalMs = 10;
        t.writeBackStretchBytes = 65536;
        t.sessionRetryWaitMs = 0;
        t.shortWaitMs = 0;
        t.launchTimerMs = 0;
        t.workerPollMs = 1;
        t.retryAfterSecondMs = 0;
        return t;
    }
};

}  // namespace zel
