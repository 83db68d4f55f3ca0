#include "session/finished_row.h"

namespace zel {

FinishedRow ChooseFinishedRow(const FinishedReport& report, bool cancelRequested,
                              bool restartRequested, bool pauseRequested) {
    if (cancelRequested) return FinishedRow::CancelStop;
    if (restartRequested) return FinishedRow::RestartStop;
    if (pauseRequested) return FinishedRow::PauseStop;
    if (report.launchRequest) return FinishedRow::LaunchRequest;
    switch (report.lastResult) {
        case ResultStopped:
            // Nobody asked: a worker that could not start stopped the run.
            return FinishedRow::PauseStop;
        case ResultTransportError:
            return FinishedRow::TransportError;
        case ResultComplete:
            if (report.workersFailed == 0) return FinishedRow::VerifyAndLaunch;
            return FinishedRow::RetryOrIdle;
        default:
            return FinishedRow::RetryOrIdle;
    }
}

}  // namespace zel
