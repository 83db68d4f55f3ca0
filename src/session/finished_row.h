// Which way the session goes when a run of workers has ended (or the launch
// timer asks for a launch).
#pragma once

#include <cstdint>

#include "engine/segments/segment.h"

namespace zel {

enum class FinishedRow {
    CancelStop,       // stopped for the user's Cancel: the dialog ends
    RestartStop,      // stopped for a restart: a fresh session
    PauseStop,        // stopped for a pause: the Resume button
    TransportError,   // the connection broke: resume when it is back
    VerifyAndLaunch,  // every worker complete: check the digest, then launch
    LaunchRequest,    // the package was found complete and verified before
    RetryOrIdle,      // anything else: another pass while online
};

struct FinishedReport {
    std::uintptr_t workersFailed = 0;
    // The last worker's SegmentResult, as the finished message carries it.
    std::intptr_t lastResult = ResultFailed;
    // Set only by the launch timer. The engine's reports never carry it, so a
    // report with one failed worker and a complete last one is not mistaken
    // for a launch of an unverified package.
    bool launchRequest = false;
};

// A stop the user asked for (a cancel before a restart before a pause)
// chooses its row whatever the report says: a worker stopped
// while the line was down ends with its failure, and a run may complete
// just as the user pauses.
FinishedRow ChooseFinishedRow(const FinishedReport& report, bool cancelRequested,
                              bool restartRequested, bool pauseRequested = false);

}  // namespace zel
