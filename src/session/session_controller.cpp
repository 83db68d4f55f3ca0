#include "session/session_controller.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <utility>

#include "engine/segments/resume_state.h"
#include "engine/segments/segment.h"
#include "engine/transport/internet_access.h"
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
      passBackOff_(timings.sessionRetryWaitMs, timings.backOffCapMs, timings.backOffRandom),
      reconnectBackOff_(timings.connectivityWaitMs, timings.backOffCapMs, timings.backOffRandom),
      engine_(*this, timings, bind) {}

SessionController::~SessionController() {
    shutdown_.Set();
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        queue_.clear();
    }
    queued_.notify_all();
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
    if (!Pause(timings_.shortWaitMs)) return kIdYes;
    // The user's Pause or Restart ends the wait at once, also in the middle
    // of a poll: nothing else would answer it while the line is down.
    const auto stopAsked = [this] { return userPaused_.load() || restartRequested_.load(); };
    int answer = kIdYes;
    unsigned polls = 0;
    reconnectBackOff_.Reset();
    // A Resume disabled every button: while the line stays down, Cancel is
    // the user's way out.
    if (!IsConnected() && engine_.LastUserCommand() != CommandCancel)
        EnableButtons({kCancelButtonId}, true);
    for (;;) {
        if (IsConnected() || stopAsked()) return answer;
        if (!message.empty() && polls == 0) {
            polls = 1;
            answer = port_.ShowMessageBox(message, kMbYesNo | kMbIconError);
            if (answer == kIdNo) return answer;
        } else if (++polls >= kPollsBetweenQuestions) {
            polls = 0;
        }
        const unsigned wait = ConnectionPollWait();
        if (waitObserver_) waitObserver_("connection");
        if (!Pause(wait, stopAsked)) return kIdYes;
    }
}

int SessionController::ShowMessageBox(const std::string& text, unsigned flags) {
    return port_.ShowMessageBox(text, flags);
}

void SessionController::PostDialogMessage(unsigned message, std::uintptr_t wParam,
                                          std::intptr_t lParam) {
    if (message == WM_DOWNLOAD_PROGRESS) {
        // Recorded, not posted: the dialog shows the latest value, and a
        // write never adds to its queue.
        OnDownloadProgress(static_cast<std::int32_t>(wParam));
    } else if (message == WM_DOWNLOAD_FINISHED) {
        OnDownloadFinished(wParam, lParam);
    } else {
        port_.PostDialogMessage(message, wParam, lParam);
    }
}

// --- The controller thread ----------------------------------------------------

bool SessionController::StartSessionThread() {
    return Queue({Task::Session, {}});
}

bool SessionController::Queue(const Task& task) {
    bool running = true;
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        if (shutdown_.IsSet()) return false;
        if (!controllerThread_.joinable())
            running = launchThread_([this] { ControllerLoop(); }, controllerThread_);
        if (running) queue_.push_back(task);
    }
    if (!running) {
        ShowStartFailure();
        return false;
    }
    queued_.notify_all();
    return true;
}

void SessionController::ControllerLoop() {
    for (;;) {
        Task task;
        {
            std::unique_lock<std::mutex> lock(queueMutex_);
            queued_.wait(lock, [this] { return shutdown_.IsSet() || !queue_.empty(); });
            if (shutdown_.IsSet()) return;
            task = queue_.front();
            queue_.pop_front();
        }
        switch (task.kind) {
            case Task::Session:
                RunSession();
                break;
            case Task::ResumeSession:
                // The stop's workers have all left before the resumed pass
                // reads what they wrote.
                WaitForWorkers();
                RunSession();
                break;
            case Task::Finished:
                FinishRun(task.report);
                break;
            case Task::SettleStop:
                SettleStop();
                break;
        }
    }
}

void SessionController::ShowStartFailure() {
    // As after a pause: Resume tries again, Cancel ends.
    SetStatusText(texts::kCannotStart);
    OfferResume();
}

void SessionController::OfferResume() {
    paused_ = true;
    userPaused_ = true;
    EnableButtons({kPauseButtonId, kRestartButtonId, kCancelButtonId}, true);
    port_.SetButtonText(kPauseButtonId, texts::kResume);
}

void SessionController::RunSession() {
    if (passGate_) passGate_();
    // Starting over is a loop: it may go on for as long as the connection
    // stays bad, and must not deepen the stack.
    while (!shutdown_.IsSet()) {
        switch (RunPass()) {
            case PassEnd::StartOver:
                continue;
            case PassEnd::Idle:
                ShowIdle();
                return;
            case PassEnd::Done:
                return;
        }
    }
}

void SessionController::ShowIdle() {
    // A Resume or Pause before this pass may have disabled every button.
    EnableButtons({kCancelButtonId}, true);
    if (GetPathKind(ResumeFilePath()) != kPathFile) return;
    paused_ = true;
    userPaused_ = true;
    EnableButtons({kPauseButtonId}, true);
    port_.SetButtonText(kPauseButtonId, texts::kResume);
}

void SessionController::RepeatUsersStop() {
    if (userPaused_ || restartRequested_) engine_.RequestStop();
}

bool SessionController::FinishedReportQueued() {
    std::lock_guard<std::mutex> lock(queueMutex_);
    return std::any_of(queue_.begin(), queue_.end(),
                       [](const Task& task) { return task.kind == Task::Finished; });
}

void SessionController::SettleStop() {
    // Workers still running, or a report already queued, answer the stop
    // themselves: a worker queues its report before it stops counting.
    if (engine_.RunningWorkers() > 0 || FinishedReportQueued()) return;
    if (restartRequested_) {
        EndAfterRun(AfterRestartStop());
    } else if (userPaused_) {
        ShowPaused();
    }
}

SessionController::PassEnd SessionController::RunPass() {
    engine_.BeginPass();
    // A package held for a launch that a command overtook: this pass may
    // need to replace it.
    checkedPackage_.Close();
    if (!engine_.HasInstallFolder()) return GiveUpWithoutFolder();
    if (userPaused_) return EndPaused();
    if (!engine_.EnsureInternetSession(*this)) {
        // Declined: the program ends as every other end does, through the
        // dialog, which takes its icon, its panel and the rest with it.
        if (Pause(WaitBeforeNextPass()))
            port_.EndProgram(engine_.SessionUnavailable() ? kExitNoInternetSession : 0);
        return PassEnd::Done;
    }
    if (shutdown_.IsSet()) return PassEnd::Done;
    // A Pause that ended the wait for the connection; a Restart's new pass
    // is queued already.
    if (userPaused_) return EndPaused();
    if (restartRequested_) return PassEnd::Done;
    if (!engine_.FetchManifest(manifestUrl_)) return RetryAfterInternetFailure();
    // A package server that asked for quiet gets it, unless the choice of
    // alternate went elsewhere; the user's Pause ends the wait.
    if (!Pause(engine_.ServerWaitMs(engine_.Manifest().setupUrl),
               [this] { return userPaused_.load(); }))
        return PassEnd::Done;
    if (userPaused_) return EndPaused();

    const std::string packagePath = PackagePath();
    totalSize_ = engine_.QueryPackageSize();
    if (totalSize_ == -1) {
        SetStatusText(texts::kInternetError);
        return RetryAfterInternetFailure();
    }
    if (GetPathKind(packagePath) == kPathFile && VerifyPackage()) {
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

SessionController::PassEnd SessionController::GiveUpWithoutFolder() {
    SetStatusText(texts::kUnableToDownload);
    ShowMessageBox(texts::kDownloadFailed, kMbOk | kMbIconError);
    EndAfterRun(After::Close);
    return PassEnd::Done;
}

SessionController::PassEnd SessionController::RetryAfterInternetFailure() {
    // A lasting fault paces the passes; the user's Pause ends the wait.
    if (!Pause(NextPassWait(), [this] { return userPaused_.load(); })) return PassEnd::Done;
    if (userPaused_) return EndPaused();
    if (IsConnected()) return PassEnd::StartOver;
    SetStatusText(texts::kInternetError);
    if (WaitForConnection(texts::kInternetErrorRetryQuestion) == kIdNo) return PassEnd::Idle;
    if (userPaused_) return EndPaused();
    if (restartRequested_) return PassEnd::Done;
    return PassEnd::StartOver;
}

unsigned SessionController::NextPassWait() {
    const unsigned wait = std::max(passBackOff_.NextWait(), engine_.ServerWaitMs(manifestUrl_));
    if (timings_.onRetryWait) timings_.onRetryWait(RetryLoop::Pass, wait);
    return wait;
}

unsigned SessionController::ConnectionPollWait() {
    const unsigned wait = reconnectBackOff_.NextWait();
    if (timings_.onRetryWait) timings_.onRetryWait(RetryLoop::Reconnect, wait);
    return wait;
}

SessionController::PassEnd SessionController::EndPaused() {
    ShowPaused();
    return PassEnd::Done;
}

void SessionController::ShowPaused() {
    SetStatusText(texts::kPausedStatus);
    EnableButtons({kPauseButtonId, kRestartButtonId, kCancelButtonId}, true);
    port_.SetButtonText(kPauseButtonId, texts::kResume);
}

SessionController::PassEnd SessionController::StartFreshDownload() {
    if (!engine_.PrepareFreshDownload(totalSize_)) {
        ShowMessageBox(texts::kCannotAllocate, kMbOk | kMbIconError);
        return PassEnd::Idle;
    }
    runSplitSize_ = totalSize_.load();
    if (userPaused_) return EndPaused();
    SetStatusText(texts::kDownloading);
    engine_.StartWorkers(false);
    RepeatUsersStop();
    return PassEnd::Done;
}

SessionController::PassEnd SessionController::ResumeDownload() {
    switch (engine_.PrepareResume(totalSize_)) {
        case ResumePreparation::Discarded:
            return PassEnd::StartOver;
        case ResumePreparation::NoPackageFile:
            return PassEnd::Idle;
        case ResumePreparation::Ready:
            break;
    }
    runSplitSize_ = -1;
    if (userPaused_) return EndPaused();
    SetStatusText(texts::kDownloading);
    if (!engine_.StartWorkers(true)) return PassEnd::Done;
    RepeatUsersStop();
    engine_.DeleteResumeState();
    // A stop that came while the workers started (a Cancel, a Pause during
    // the stagger) owns the buttons now: its report sets them.
    if (!engine_.IsStopRequested()) {
        EnableButtons({kRestartButtonId, kCancelButtonId}, true);
        port_.SetButtonText(kPauseButtonId, texts::kPause);
    }
    return PassEnd::Done;
}

// --- The dialog's thread: it never waits ----------------------------------------

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
    passBackOff_.Reset();
    const int percent = ProgressPercent(bytesWritten, totalSize_);
    if (percent < 0) return;
    port_.SetProgressPosition(percent);
    port_.SetStatusLine(texts::kProgressPrefix + std::to_string(percent));
}

void SessionController::OnDownloadFinished(std::uintptr_t workersFailed, std::intptr_t lastResult) {
    Queue({Task::Finished, {workersFailed, lastResult, false}});
}

void SessionController::OnLaunchTimer() {
    port_.KillLaunchTimer();
    Queue({Task::Finished, {1, ResultComplete, true}});
}

// --- The controller thread: a run's end ------------------------------------------

void SessionController::WaitForWorkers() {
    for (unsigned round = 0; round < timings_.workerPollRounds; ++round) {
        if (!Wait("workers", timings_.workerPollMs)) return;
        if (engine_.RunningWorkers() == 0) return;
    }
}

bool SessionController::Pause(unsigned ms, const std::function<bool()>& leaveEarly) {
    return !shutdown_.WaitFor(std::chrono::milliseconds(ms), leaveEarly);
}

bool SessionController::Wait(const char* name, unsigned ms) {
    if (waitObserver_) waitObserver_(name);
    return Pause(ms);
}

bool SessionController::VerifyPackage() {
    // The digest of a large package takes seconds.
    if (waitObserver_) waitObserver_("digest");
    // A package that fails its publisher's check is treated as one whose
    // digest failed: it is never launched. Both read it through the one
    // opening that is held until the launch.
    if (engine_.VerifyDownloadedFile(checkedPackage_) && publisherCheck_(checkedPackage_))
        return true;
    // Let go: the next download or the clean-up replaces or deletes it.
    checkedPackage_.Close();
    return false;
}

bool SessionController::LaunchPackage() {
    // A Cancel confirmed while the package was being checked ends the
    // program without starting it.
    if (engine_.LastUserCommand() == CommandCancel || shutdown_.IsSet() ||
        !checkedPackage_.IsOpen()) {
        checkedPackage_.Close();
        return false;
    }
    if (waitObserver_) waitObserver_("launch");
    // Held while the shell starts it, so that what starts is what was checked.
    port_.OpenWithShell(checkedPackage_.Path());
    checkedPackage_.Close();
    return true;
}

void SessionController::FinishRun(const FinishedReport& report) {
    After after = After::Stay;
    switch (ChooseFinishedRow(report, cancelRequested_, restartRequested_, userPaused_)) {
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
    if (!Wait("settle", timings_.shortWaitMs)) return;
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
    if (!Wait("pause", WaitBeforeNextPass())) return After::Stay;
    SetStatusText(texts::kPausedStatus);
    WaitForWorkers();
    // Also a run that stopped because a worker could not start: its Resume
    // button resumes, as after the user's pause.
    OfferResume();
    return After::Stay;
}

SessionController::After SessionController::AfterTransportError() {
    if (!Wait("line", WaitBeforeNextPass())) return After::Stay;
    if (!IsConnected() && WaitForConnection(texts::kTransportErrorQuestion) == kIdNo) {
        engine_.DeleteResumeState();
        autoRetryActive_ = false;
        return After::Close;
    }
    if (shutdown_.IsSet()) return After::Stay;
    // The user paused the wait: the workers' resume file waits for Resume.
    if (userPaused_) {
        ShowPaused();
        return After::Stay;
    }
    SetStatusText(texts::kPausedStatus);
    EnableButtons({kPauseButtonId, kRestartButtonId, kCancelButtonId}, true);
    port_.SetButtonText(kPauseButtonId, texts::kResume);
    autoRetryActive_ = true;
    return After::NewSession;
}

SessionController::After SessionController::VerifyAndLaunch() {
    SetStatusText(texts::kLaunching);
    if (!VerifyPackage()) return AfterFailedVerification();
    // A Pause pressed during the check: the next pass finds the package
    // complete and launches it on Resume.
    if (userPaused_) {
        ShowPaused();
        return After::Stay;
    }
    SetStatusText(texts::kCompleted);
    LaunchPackage();
    return After::Close;
}

SessionController::After SessionController::AfterLaunchRequest() {
    // The check of the pass that set the timer holds the package; a pass
    // since then let it go, and it is checked again.
    if (!checkedPackage_.IsOpen() && !VerifyPackage()) return AfterFailedVerification();
    SetStatusText(texts::kCompleted);
    OnDownloadProgress(totalSize_);
    LaunchPackage();
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
    if (!Wait("retry", timings_.shortWaitMs)) return After::Stay;
    if (engine_.LastWorkerBytes() == runSplitSize_) return After::Stay;
    if (!Wait("retry", timings_.shortWaitMs)) return After::Stay;
    if (IsConnected()) {
        EnableButtons({kRestartButtonId, kCancelButtonId}, true);
        port_.SetButtonText(kRestartButtonId, texts::kRestart);
        autoRetryActive_ = true;
        return After::NewSession;
    }
    if (autoRetryActive_) return After::Stay;
    // Offline at the end of a first run: the program ends, but not without a
    // word; the ranges the workers left stay in the resume file for the next
    // start.
    ShowMessageBox(texts::kFailedForInternetError, kMbOk);
    return After::Close;
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
