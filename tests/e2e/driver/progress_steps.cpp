// Steps on the progress bar and the status line that follows it.
#include <cstdio>

#include "dialog_state.h"
#include "driver.h"
#include "program_windows.h"
#include "progress_watch.h"

namespace zel::e2e {

StepResult Driver::WaitProgress(const Args& args) {
    int percent = 0;
    if (!ParseInt(args[0], percent)) return {false, "bad percentage"};
    return AwaitDialog(args[1], [&](HWND dialog) {
        return ProgressPosition(dialog, timings_.messageTimeoutMs) >= percent;
    });
}

StepResult Driver::WaitProgressRise(const Args& args) {
    int rise = 0;
    HWND dialog = FindMainDialog();
    if (!ParseInt(args[0], rise)) return {false, "bad percentage"};
    if (!dialog) return {false, "no main dialog"};
    const int from = ProgressPosition(dialog, timings_.messageTimeoutMs);
    StepResult result = WaitProgress({std::to_string(from + rise), args[1]});
    result.detail = "from " + std::to_string(from) + (result.ok ? "" : "; " + result.detail);
    return result;
}

// Follows the download until the bar is full or the dialog has gone (a
// finished download closes it).
StepResult Driver::WatchProgress(const Args& args) {
    ProgressWatch watch;
    bool ended = AwaitCondition(
        [&] {
            HWND dialog = FindMainDialog();
            if (!dialog) return true;
            const int before = ProgressPosition(dialog, timings_.messageTimeoutMs);
            const std::string status = ControlText(dialog, kStatusLineId);
            const int after = ProgressPosition(dialog, timings_.messageTimeoutMs);
            watch.Add(before, status, after);
            return watch.Full();
        },
        SecondsToMs(args[0]), timings_.pollMs);
    if (!ended) return {false, "after " + args[0] + " s the bar stands at " + watch.Positions()};
    const std::string problem = watch.Problem();
    return {problem.empty(), problem.empty() ? watch.Positions() : problem};
}

StepResult Driver::PrintProgress(const Args&) {
    HWND dialog = FindMainDialog();
    const int position = dialog ? ProgressPosition(dialog, timings_.messageTimeoutMs) : -1;
    if (position < 0) return {false, "no progress bar answers"};
    std::printf("progress %d\n", position);
    return {true, ""};
}

}  // namespace zel::e2e
