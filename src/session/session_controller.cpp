#include "session/session_controller.h"

#include <chrono>
#include <memory>
#include <string>
#include <utility>

#include "engine/internet_access.h"
#include "engine/resume_state.h"
#include "engine/segment.h"
#include "session/progress_percent.h"
#include "session/session_texts.h"
#include "sys/install_folder.h"
#include "sys/target_file.h"
#include "sys/text.h"

namespace zel {

namespace {

// Polls of a lost connection before the user is asked again.
constexpr unsigned kPollsBetweenQuestions = 1000;

void DeleteFileIfPresent(const std::string& path) {
    if (GetPathKind(path) == kPathFile) TargetFile::Delete(path);
}

}  // namespace

SessionController::SessionController(DialogPort& port, const Timings& timings,
                                     std::string manifestUrl, const WinInetBinder& bind)
    : port_(port),
      timings_(timings),
      manifestUrl_(std::move(manifestUrl)),
      engine_(*this, timings, bind) {}

SessionController::~SessionController() {
    shutdown_.Raise();
    // Cancel rather than a plain stop: a pass that still starts workers
    // after this point has them stop at once.
    engine_.SetUserCommand(CommandCancel);
    engine_.RequestStop();
    if (controllerThread_.joinable()) controllerThread_.join();
    // Workers call back into this object; they must be gone while it is
    // still whole, not only by the time the engine member is destroyed.
    engine_.StopWorkers();
}

// --- What the engine needs of its dialog ------------------------------------

void SessionController::SetStatusText(const std::string& text) {
    port_.SetStatusLine(text);
}

void SessionController::EnablePauseButton(bool enable) {
    if (engine_.LastUserCommand() == CommandCancel) return;
    port_.EnableButton(kPauseButtonId, enable);
}

int SessionController::WaitForConnection(const std::string& message) {
    // A shutdown answers "yes": the pass then ends at its next check without
    // the messages that a "no" would bring.
    if (!shutdown_.Pause(timings_.shortWaitMs)) return kIdYes;
    int answer = kIdYes;
    unsigned polls = 0;
    for (;;) {
        if (IsConnected() || userPaused_) return answer;
        if (!message.empty() && polls == 0) {
            polls = 1;
            answer = port_.ShowMessageBox(message, kMbYesNo | kMbIconError);
            if (answer == kIdNo) return answer;
        } else if (++polls >= kPollsBetweenQuestions) {
            polls = 0;
        }
        if (!shutdown_.Pause(timings_.connectivityWaitMs)) return kIdYes;
    }
}

int SessionController::ShowMessageBox(const std::string& text, unsigned flags) {
    return port_.ShowMessageBox(text, flags);
}

void SessionController::PostDialogMessage(unsigned message, std::uintptr_t wParam,
                                          std::intptr_t lParam) {
    port_.PostDialogMessage(message, wParam, lParam);
}

// --- The controller thread ----------------------------------------------------

bool SessionController::StartSessionThread() {
    // Shared with the new thread, which joins it first; should the thread
    // not come about, the previous one stays here to be joined later.
    auto previous = std::make_shared<std::thread>(std::move(controllerThread_));
    std::thread next;
    if (launchThread_(
            [this, previous] {
                if (previous->joinable()) previous->join();
                RunSession();
            },
            next)) {
        controllerThread_ = std::move(next);
        return true;
    }
    controllerThread_ = std::move(*previous);
    ShowStartFailure();
    return false;
}

void SessionController::ShowStartFailure() {
    // As after a pause: Resume tries again, Cancel ends.
    SetStatusText(texts::kCannotStart);
    paused_ = true;
    userPaused_ = true;
    EnableButtons({kPauseButtonId, kRestartButtonId, kCancelButtonId}, true);
    port_.SetButtonText(kPauseButtonId, texts::kResume);
}

void SessionController::RunSession() {
    // Starting over is a loop: it may go on for as long as the connection
    // stays bad, and must not deepen the stack.
    while (!shutdown_.IsRaised()) {
        if (RunPass() == PassEnd::Done) return;
    }
}

SessionController::PassEnd SessionController::RunPass() {
    engine_.BeginPass();
    if (!engine_.EnsureInternetSession(*this)) {
        if (shutdown_.Pause(timings_.sessionRetryWaitMs)) port_.EndProcess(0);
        return PassEnd::Done;
    }
    if (shutdown_.IsRaised()) return PassEnd::Done;
    if (!engine_.FetchManifest(manifestUrl_)) return RetryAfterInternetFailure();

    const std::string packagePath = PackagePath();
    totalSize_ = engine_.QueryPackageSize();
    if (totalSize_ == -1) {
        SetStatusText(texts::kInternetError);
        return RetryAfterInternetFailure();
    }
    if (GetPathKind(packagePath) == kPathFile && engine_.VerifyDownloadedFile()) {
        SetStatusText(texts::kCompleted);
        OnDownloadProgress(totalSize_);
        port_.SetLaunchTimer(timings_.launchTimerMs);
        return PassEnd::Done;
    }
    // A resume file without its package is stale.
    if (GetPathKind(packagePath) == kPathNothing) engine_.DeleteResumeState();
    if (GetPathKind(ResumeFilePath()) == kPathNothing) return StartFreshDownload();
    return ResumeDownload();
}

SessionController::PassEnd SessionController::RetryAfterInternetFailure() {
    if (!shutdown_.Pause(timings_.sessionRetryWaitMs)) return PassEnd::Done;
    if (IsConnected()) return PassEnd::StartOver;
    SetStatusText(texts::kInternetError);
    if (WaitForConnection(texts::kInternetErrorRetryQuestion) == kIdNo) return PassEnd::Done;
    return PassEnd::StartOver;
}

SessionController::PassEnd SessionController::StartFreshDownload() {
    if (!engine_.PrepareFreshDownload(totalSize_)) {
        ShowMessageBox(texts::kCannotAllocate, kMbOk | kMbIconError);
        return PassEnd::Done;
    }
    splitSize_ = totalSize_.load();
    SetStatusText(texts::kDownloading);
    engine_.StartWorkers(false);
    return PassEnd::Done;
}

SessionController::PassEnd SessionController::ResumeDownload() {
    switch (engine_.PrepareResume(totalSize_)) {
        case ResumePreparation::Discarded:
            return PassEnd::StartOver;
        case ResumePreparation::NoPackageFile:
            return PassEnd::Done;
        case ResumePreparation::Ready:
            break;
    }
    SetStatusText(texts::kDownloading);
    if (!engine_.StartWorkers(true)) return PassEnd::Done;
    engine_.DeleteResumeState();
    // A stop that came while the workers started (a Cancel, a Pause during
    // the stagger) owns the buttons now: its report sets them.
    if (!engine_.IsStopRequested()) {
        EnableButtons({kRestartButtonId, kCancelButtonId}, true);
        port_.SetButtonText(kPauseButtonId, texts::kPause);
    }
    return PassEnd::Done;
}

// --- The dialog's thread ---------------------------------------------------------

bool SessionController::HandleDialogMessage(unsigned message, std::uintptr_t wParam,
                                            std::intptr_t lParam) {
    if (message == WM_DOWNLOAD_PROGRESS) {
        OnDownloadProgress(static_cast<std::int32_t>(wParam));
        return true;
    }
    if (message == WM_DOWNLOAD_FINISHED) {
        OnDownloadFinished(wParam, lParam);
        return true;
    }
    return false;
}

void SessionController::OnDownloadProgress(std::int32_t bytesWritten) {
    const int percent = ProgressPercent(bytesWritten, totalSize_);
    if (percent < 0) return;
    port_.SetProgressPosition(percent);
    port_.SetStatusLine(texts::kProgressPrefix + std::to_string(percent));
}

void SessionController::OnDownloadFinished(std::uintptr_t workersFailed, std::intptr_t lastResult) {
    FinishRun({workersFailed, lastResult, false});
}

void SessionController::OnLaunchTimer() {
    port_.KillLaunchTimer();
    FinishRun({1, kReportComplete, true});
}

void SessionController::WaitForWorkers() {
    for (unsigned round = 0; round < timings_.workerPollRounds; ++round) {
        std::this_thread::sleep_for(std::chrono::milliseconds(timings_.workerPollMs));
        if (engine_.RunningWorkers() == 0) return;
        // Bounded: the last worker may leave after its final message, and
        // then nothing else might arrive to end an unbounded wait.
        port_.HandleOnePendingMessage(timings_.workerPollMs);
    }
}

void SessionController::FinishRun(const FinishedReport& report) {
    After after = After::Stay;
    switch (ChooseFinishedRow(report, cancelRequested_, restartRequested_)) {
        case FinishedRow::CancelStop:
            after = AfterCancelStop();
            break;
        case FinishedRow::RestartStop:
            after = AfterRestartStop();
            break;
        case FinishedRow::PauseStop:
            after = AfterPauseStop();
            break;
        case FinishedRow::TransportError:
            after = AfterTransportError();
            break;
        case FinishedRow::VerifyAndLaunch:
            after = VerifyAndLaunch();
            break;
        case FinishedRow::LaunchRequest:
            after = AfterLaunchRequest();
            break;
        case FinishedRow::RetryOrIdle:
            after = RetryOrIdle();
            break;
    }
    // The workers leave their thread procedures just after the last one's
    // report. Their records stay with the engine: the next pass drops them
    // once it has joined the workers.
    WaitForWorkers();
    std::this_thread::sleep_for(std::chrono::milliseconds(timings_.shortWaitMs));
    EndAfterRun(after);
}

void SessionController::EndAfterRun(After after) {
    switch (after) {
        case After::Close:
            port_.EndDialog(DialogEnd::Close);
            break;
        case After::Cancel:
            port_.EndDialog(DialogEnd::Cancel);
            break;
        case After::NewSession:
            StartSessionThread();
            break;
        case After::Stay:
            break;
    }
}

SessionController::After SessionController::AfterCancelStop() {
    return After::Cancel;
}

SessionController::After SessionController::AfterRestartStop() {
    restartRequested_ = false;
    SetStatusText(texts::kRestartedStatus);
    EnableButtons({kRestartButtonId, kCancelButtonId}, true);
    port_.SetButtonText(kRestartButtonId, texts::kRestart);
    engine_.DeleteResumeState();
    return After::NewSession;
}

SessionController::After SessionController::AfterPauseStop() {
    std::this_thread::sleep_for(std::chrono::milliseconds(timings_.sessionRetryWaitMs));
    SetStatusText(texts::kPausedStatus);
    WaitForWorkers();
    EnableButtons({kPauseButtonId, kRestartButtonId, kCancelButtonId}, true);
    port_.SetButtonText(kPauseButtonId, texts::kResume);
    return After::Stay;
}

SessionController::After SessionController::AfterTransportError() {
    std::this_thread::sleep_for(std::chrono::milliseconds(timings_.sessionRetryWaitMs));
    if (!IsConnected() && WaitForConnection(texts::kTransportErrorQuestion) == kIdNo) {
        engine_.DeleteResumeState();
        autoRetryActive_ = false;
        return After::Close;
    }
    SetStatusText(texts::kPausedStatus);
    EnableButtons({kPauseButtonId, kRestartButtonId, kCancelButtonId}, true);
    port_.SetButtonText(kPauseButtonId, texts::kResume);
    autoRetryActive_ = true;
    return After::NewSession;
}

SessionController::After SessionController::VerifyAndLaunch() {
    SetStatusText(texts::kLaunching);
    if (!engine_.VerifyDownloadedFile()) return AfterFailedVerification();
    SetStatusText(texts::kCompleted);
    port_.OpenWithShell(PackagePath());
    return After::Close;
}

SessionController::After SessionController::AfterLaunchRequest() {
    SetStatusText(texts::kCompleted);
    OnDownloadProgress(totalSize_);
    port_.OpenWithShell(PackagePath());
    return After::Close;
}

SessionController::After SessionController::AfterFailedVerification() {
    if (verifyFailures_ == 0) {
        verifyFailures_ = 1;
        EnableButtons({kPauseButtonId, kRestartButtonId, kCancelButtonId}, true);
        port_.SetButtonText(kPauseButtonId, texts::kPause);
        OnDownloadProgress(0);
        engine_.ResetProgress();
        SetStatusText("");
        engine_.DeleteResumeState();
        return After::NewSession;
    }
    DeleteFileIfPresent(PackagePath());
    DeleteFileIfPresent(ResumeFilePath());
    SetStatusText(texts::kUnableToDownload);
    ShowMessageBox(texts::kDownloadFailed, kMbOk | kMbIconError);
    return After::Close;
}

SessionController::After SessionController::RetryOrIdle() {
    std::this_thread::sleep_for(std::chrono::milliseconds(timings_.shortWaitMs));
    if (engine_.LastWorkerBytes() == splitSize_) return After::Stay;
    std::this_thread::sleep_for(std::chrono::milliseconds(timings_.shortWaitMs));
    if (IsConnected()) {
        EnableButtons({kRestartButtonId, kCancelButtonId}, true);
        port_.SetButtonText(kRestartButtonId, texts::kRestart);
        autoRetryActive_ = true;
        return After::NewSession;
    }
    return autoRetryActive_ ? After::Stay : After::Close;
}

// --- Helpers -----------------------------------------------------------------------

void SessionController::EnableButtons(std::initializer_list<int> ids, bool enable) {
    for (int id : ids) port_.EnableButton(id, enable);
}

bool SessionController::IsConnected() const {
    return engine_.IsConnected();
}

std::string SessionController::PackagePath() const {
    return engine_.PackagePath();
}

std::string SessionController::ResumeFilePath() const {
    return engine_.StateFilePath();
}

}  // namespace zel
