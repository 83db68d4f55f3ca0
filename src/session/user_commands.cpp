// The user's Pause/Resume, Restart and Cancel buttons, on the dialog's
// thread. Each records the command for the workers, asks them to stop, and
// leaves the rest to the stop report, or hands the work to the controller
// thread when nothing is running. None of them waits.
#include "session/session_controller.h"
#include "session/session_texts.h"

namespace zel {

void SessionController::OnPauseResume() {
    passBackOff_.Reset();
    if (paused_) {
        engine_.SetUserCommand(CommandResume);
        EnableButtons({kPauseButtonId, kRestartButtonId, kCancelButtonId}, false);
        port_.SetButtonText(kPauseButtonId, texts::kResuming);
        userPaused_ = false;
        // A session that cannot start leaves the dialog paused again.
        paused_ = false;
        Queue({Task::ResumeSession, {}});
        return;
    }
    engine_.SetUserCommand(CommandPause);
    if (engine_.RequestStop()) {
        EnableButtons({kPauseButtonId, kRestartButtonId, kCancelButtonId}, false);
        port_.SetButtonText(kPauseButtonId, texts::kPausing);
    } else {
        ShowMessageBox(texts::kAlreadyPaused, kMbOk);
    }
    userPaused_ = true;
    paused_ = true;
    // A wait for the connection ends on it.
    shutdown_.Wake();
    Queue({Task::SettleStop, {}});
}

void SessionController::OnRestart() {
    passBackOff_.Reset();
    if (paused_) {
        engine_.SetUserCommand(CommandPause);
        paused_ = false;
        // The restarted download is no longer paused: waiting for a lost
        // connection must work again.
        userPaused_ = false;
        engine_.DeleteResumeState();
        port_.SetButtonText(kPauseButtonId, texts::kPause);
        StartSessionThread();
        return;
    }
    restartRequested_ = true;
    engine_.SetUserCommand(CommandRestart);
    if (engine_.RequestStop()) {
        EnableButtons({kPauseButtonId, kRestartButtonId, kCancelButtonId}, false);
        port_.SetButtonText(kRestartButtonId, texts::kRestarting);
        Queue({Task::SettleStop, {}});
        return;
    }
    // Restarted at once: no stop report is awaited for it, and a later one
    // (of a pause) must not be taken for a restart.
    restartRequested_ = false;
    engine_.DeleteResumeState();
    StartSessionThread();
}

void SessionController::OnCancelDownload() {
    if (ShowMessageBox(texts::kCancelQuestion, kMbYesNo) != kIdYes) return;
    engine_.SetUserCommand(CommandCancel);
    // Without running workers no stop report would come to end the dialog:
    // a pass still connecting, waiting for the line or preparing might never
    // start any, and the disabled buttons would leave the user no way out.
    if (paused_ || engine_.RunningWorkers() == 0) {
        port_.EndDialog(DialogEnd::Cancel);
        return;
    }
    cancelRequested_ = true;
    if (engine_.RequestStop()) {
        EnableButtons({kPauseButtonId, kRestartButtonId, kCancelButtonId}, false);
        port_.SetButtonText(kCancelButtonId, texts::kCanceling);
        return;
    }
    port_.EndDialog(DialogEnd::Cancel);
}

}  // namespace zel
