// Drives one download of the setup package from the manifest to the launch:
// a controller thread prepares each pass and starts the workers, the
// dialog's thread reacts to the engine's reports and to the user's commands.
// It reaches the window only through the DialogPort and owns the engine.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "engine/back_off.h"
#include "engine/build_config.h"
#include "engine/download_engine.h"
#include "engine/engine_dialog.h"
#include "engine/timings.h"
#include "session/dialog_port.h"
#include "session/finished_row.h"
#include "session/shutdown_signal.h"
#include "sys/publisher_check.h"
#include "sys/worker_threads.h"

namespace zel {

class SessionController : public EngineDialog {
  public:
    SessionController(DialogPort& port, const Timings& timings = Timings(),
                      std::string manifestUrl = build::kManifestUrl,
                      const WinInetBinder& bind = BindWinInet);
    // Stops the workers and joins the controller threads: nothing started
    // here outlives the controller.
    ~SessionController() override;
    SessionController(const SessionController&) = delete;
    SessionController& operator=(const SessionController&) = delete;

    // --- What the engine needs of its dialog (any thread) ---------------
    void SetStatusText(const std::string& text) override;
    void EnablePauseButton(bool enable) override;
    int WaitForConnection(const std::string& message) override;
    int ShowMessageBox(const std::string& text, unsigned flags) override;
    void PostDialogMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;

    // Starts a new pass on a thread of its own. A pass waits for the one
    // before it to end, so two passes never touch the segments at once.
    // When no thread can be made the user is told in the status line and
    // the dialog stays usable, as after a pause; false then.
    bool StartSessionThread();
    // Tests put a launcher that fails in place of the system's.
    void SetThreadLauncher(ThreadLauncher launcher) { launchThread_ = std::move(launcher); }
    // The check a package must pass after its digest, before it is launched
    // (the build's publisher setting by default). Tests put a stand-in in its
    // place; set before the first session.
    void SetPublisherCheck(PublisherCheck check) { publisherCheck_ = std::move(check); }

    // --- Dialog-thread handlers -------------------------------------------
    // The engine's two messages; false for any other message.
    bool HandleDialogMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    void OnDownloadProgress(std::int32_t bytesWritten);
    void OnDownloadFinished(std::uintptr_t workersFailed, std::intptr_t lastResult);
    void OnLaunchTimer();
    void OnPauseResume();
    void OnRestart();
    void OnCancelDownload();

    // Keeps the dialog responsive until no worker thread runs (bounded).
    void WaitForWorkers();

    DownloadEngine& Engine() { return engine_; }
    std::int32_t TotalSize() const { return totalSize_; }
    bool IsPaused() const { return paused_; }

  private:
    enum class PassEnd { Done, StartOver };
    enum class After { Stay, Close, Cancel, NewSession };

    void RunSession();
    PassEnd RunPass();
    PassEnd RetryAfterInternetFailure();
    // The wait before the next pass after one that could not get the
    // manifest or the package size: the pass back-off's, or longer when the
    // manifest's server asked for quiet.
    unsigned NextPassWait();
    PassEnd StartFreshDownload();
    PassEnd ResumeDownload();

    void FinishRun(const FinishedReport& report);
    After AfterCancelStop();
    After AfterRestartStop();
    After AfterPauseStop();
    After AfterTransportError();
    After VerifyAndLaunch();
    After AfterLaunchRequest();
    After AfterFailedVerification();
    After RetryOrIdle();
    void EndAfterRun(After after);

    void ShowStartFailure();
    void EnableButtons(std::initializer_list<int> ids, bool enable);
    bool IsConnected() const;
    std::string PackagePath() const;
    std::string ResumeFilePath() const;

    DialogPort& port_;
    const Timings timings_;
    const std::string manifestUrl_;
    ShutdownSignal shutdown_;

    // Dialog-thread state.
    bool paused_ = false;
    bool cancelRequested_ = false;
    bool restartRequested_ = false;
    bool autoRetryActive_ = false;
    // How often the finished package failed its check since the start.
    std::uint8_t verifyFailures_ = 0;

    // Shared between the controller thread and the dialog's thread.
    std::atomic<std::int32_t> totalSize_{0};
    std::atomic<std::int32_t> splitSize_{0};
    std::atomic<bool> userPaused_{false};

    // Faults that last: passes that keep failing, and polls for a connection
    // that stays lost. A byte of the package written or a user's command
    // (any thread) resets the passes' pace.
    BackOff passBackOff_;
    BackOff reconnectBackOff_;

    ThreadLauncher launchThread_ = LaunchThread;
    PublisherCheck publisherCheck_ = PublisherCheckFor(build::kPublisher);
    std::thread controllerThread_;  // the latest pass; it joins its predecessor
    DownloadEngine engine_;         // last member: built after the state it reports to
};

}  // namespace zel
