// Drives one download of the setup package from the manifest to the launch.
// The controller's own thread, long-lived and fed by a queue, does every
// step that takes time: the passes that prepare a run and start the
// workers, the handling of each run's end with its pauses and checks, the
// waits for the connection and for the workers, the launch. The dialog's
// thread only hands it commands and shows what it is told, so the window
// answers at every moment. It reaches the window only through the
// DialogPort and owns the engine.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "engine/build_config.h"
#include "engine/download_engine.h"
#include "engine/engine_dialog.h"
#include "engine/timings.h"
#include "engine/transport/back_off.h"
#include "session/dialog_port.h"
#include "session/download_session.h"
#include "session/finished_row.h"
#include "sys/held_file.h"
#include "sys/manual_reset_event.h"
#include "sys/publisher_check.h"
#include "sys/worker_threads.h"

namespace zel {

class SessionController : public EngineDialog, public DownloadSession {
  public:
    SessionController(DialogPort& port, const Timings& timings = Timings(),
                      std::string manifestUrl = build::kManifestUrl,
                      const WinInetBinder& bind = BindWinInet);
    // Stops the workers and joins the controller thread: nothing started
    // here outlives the controller.
    ~SessionController() override;
    SessionController(const SessionController&) = delete;
    SessionController& operator=(const SessionController&) = delete;

    // --- What the engine needs of its dialog (any thread) ---------------
    void SetStatusText(const std::string& text) override;
    void EnablePauseButton(bool enable) override;
    int WaitForConnection(const std::string& message) override;
    int ShowMessageBox(const std::string& text, unsigned flags) override;
    // The engine's reports: progress goes to the controls at once (only the
    // latest value is kept until the dialog shows it), the finished report
    // into the controller's queue, where nothing can drop it.
    void PostDialogMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;

    // Queues a new pass for the controller thread, starting that thread the
    // first time. A pass begins by taking over the run before it, so two
    // passes never touch the segments at once. When the thread cannot be
    // made the user is told in the status line and the dialog stays usable,
    // as after a pause; false then.
    bool StartSessionThread() override;
    // Tests put a launcher that fails in place of the system's.
    void SetThreadLauncher(ThreadLauncher launcher) { launchThread_ = std::move(launcher); }
    // The check a package must pass after its digest, before it is launched
    // (the build's publisher setting by default, which reads the package
    // through the opening its digest was read through). Tests put a stand-in
    // in its place, asked with the held package's path; set before the first
    // session.
    void SetPublisherCheck(PublisherCheck check) {
        publisherCheck_ = [check](const HeldFile& package) { return check(package.Path()); };
    }
    // Tests: runs on the controller thread before every pass.
    void SetPassGate(std::function<void()> gate) { passGate_ = std::move(gate); }
    // Tests: runs on the controller thread at the start of every wait a
    // run's end makes (and of the digest check, the launch and each poll of
    // a lost connection), named as the wait is.
    void SetWaitObserver(std::function<void(const char* wait)> observer) {
        waitObserver_ = std::move(observer);
    }

    // --- Dialog-thread handlers (they never wait) -------------------------
    // The engine's two messages; false for any other message.
    bool HandleDialogMessage(unsigned message, std::uintptr_t wParam,
                             std::intptr_t lParam) override;
    void OnDownloadProgress(std::int32_t bytesWritten);
    // Queues the report: the controller thread acts on it.
    void OnDownloadFinished(std::uintptr_t workersFailed, std::intptr_t lastResult);
    void OnLaunchTimer() override;
    void OnPauseResume() override;
    void OnRestart() override;
    void OnCancelDownload() override;

    // On the controller thread: until no worker thread runs (bounded).
    void WaitForWorkers();

    DownloadEngine& Engine() { return engine_; }
    std::int32_t TotalSize() const { return totalSize_; }
    bool IsPaused() const { return paused_; }

  private:
    // Idle: the pass ended without workers and waits for the user.
    enum class PassEnd { Done, StartOver, Idle };
    enum class After { Stay, Close, Cancel, NewSession };
    // What the controller thread is asked to do, in the order asked.
    struct Task {
        enum Kind { Session, ResumeSession, Finished, SettleStop } kind;
        FinishedReport report;
    };

    bool Queue(const Task& task);
    void ControllerLoop();

    void RunSession();
    PassEnd RunPass();
    PassEnd RetryAfterInternetFailure();
    // The wait before the next pass after one that could not get the
    // manifest or the package size: the pass back-off's, or longer when the
    // manifest's server asked for quiet.
    unsigned NextPassWait();
    PassEnd StartFreshDownload();
    PassEnd ResumeDownload();
    // A pause that came before the workers of this pass: it ends here, and
    // the dialog shows the pause as after a stop.
    PassEnd EndPaused();
    void ShowPaused();
    // Paused as after the user's Pause: Resume resumes, Restart and Cancel
    // work.
    void OfferResume();
    // After a pass that started no workers, the dialog offers what can
    // still be done: Cancel, and Resume where a resume file waits.
    void ShowIdle();
    // A run's StartWorkers clears the stop event: a Pause or Restart that
    // came just before it is asked of the new workers again.
    void RepeatUsersStop();
    // A Pause or Restart pressed while nothing runs gets no stop report: it
    // takes effect here, once the work before it has ended.
    void SettleStop();
    bool FinishedReportQueued();

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

    // The waits and checks whose policy may change on their own.
    // The wait before the next pass after a failure or a stop.
    unsigned WaitBeforeNextPass() const { return timings_.sessionRetryWaitMs; }
    // Between two looks at a lost connection: the reconnect back-off's.
    unsigned ConnectionPollWait();
    // The finished package is the one the manifest names. When it is, it
    // stays held (checkedPackage_) until it is launched: nobody can change,
    // rename or delete it in between.
    bool VerifyPackage();
    // Opens the checked package, unless the user has cancelled meanwhile,
    // and then lets it go. Nothing unchecked is ever opened.
    bool LaunchPackage();
    // The install folder could not be had or made safe: the run ends as
    // after a second failed check, touching nothing there.
    PassEnd GiveUpWithoutFolder();
    // A wait of the controller thread; false when the controller is going.
    bool Wait(const char* name, unsigned ms);
    // Waits ms milliseconds, or until leaveEarly() holds; false when the
    // shutdown came first (or before), so that no controller thread outlives
    // the object that started it.
    bool Pause(unsigned ms, const std::function<bool()>& leaveEarly = {});

    void ShowStartFailure();
    void EnableButtons(std::initializer_list<int> ids, bool enable);
    bool IsConnected() const;
    std::string PackagePath() const;
    std::string ResumeFilePath() const;

    DialogPort& port_;
    const Timings timings_;
    const std::string manifestUrl_;
    ManualResetEvent shutdown_;  // set: the owner is being torn down

    // Set by the dialog's commands, read by the controller thread.
    std::atomic<bool> paused_{false};
    std::atomic<bool> cancelRequested_{false};
    std::atomic<bool> restartRequested_{false};
    std::atomic<bool> userPaused_{false};

    // Controller-thread state.
    bool autoRetryActive_ = false;
    // How often the finished package failed its check since the start.
    std::uint8_t verifyFailures_ = 0;

    // Shared between the controller thread and the dialog's thread.
    std::atomic<std::int32_t> totalSize_{0};
    // The package size when the latest run split it afresh; -1 for a
    // resumed run, which was not split.
    std::atomic<std::int32_t> runSplitSize_{0};

    std::function<void()> passGate_;
    std::function<void(const char*)> waitObserver_;

    std::mutex queueMutex_;  // guards the queue and the thread's start
    std::condition_variable queued_;
    std::deque<Task> queue_;

    // Faults that last: passes that keep failing, and polls for a connection
    // that stays lost. A byte of the package written or a user's command
    // (any thread) resets the passes' pace.
    BackOff passBackOff_;
    BackOff reconnectBackOff_;

    ThreadLauncher launchThread_ = LaunchThread;
    HeldPublisherCheck publisherCheck_ = HeldPublisherCheckFor(build::kPublisher);
    // Controller thread: the package from its check until its launch.
    HeldFile checkedPackage_;
    std::thread controllerThread_;
    DownloadEngine engine_;  // last member: built after the state it reports to
};

}  // namespace zel
