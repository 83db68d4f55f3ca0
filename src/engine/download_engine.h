// The one object through which the dialog drives a download. It coordinates
// the parts that do the work (the shared internet session, the segment plan
// with the package file, the range fetcher that each worker runs, the resume
// file writer) and owns the manifest record, the worker threads and the stop
// event. The records, the file and the manifest change only while no worker
// runs and StartWorkers is not handing them out; the session controller
// reaches the engine through the operations below, and the dialog's thread
// only gives commands and reads.
//
// Three locks, never nested: the plan's writeLock (every write with its
// progress), the writer's finishLock (the end of the workers, checkpoints,
// the resume file) and startLock here (one worker at a time through its
// start pause).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "engine/engine_dialog.h"
#include "engine/manifest/setup_manifest.h"
#include "engine/segments/range_fetcher.h"
#include "engine/segments/range_sharing.h"
#include "engine/segments/resume_file_writer.h"
#include "engine/segments/segment_plan.h"
#include "engine/timings.h"
#include "engine/transport/address_trouble.h"
#include "engine/transport/server_pacing.h"
#include "engine/transport/shared_session.h"
#include "sys/held_file.h"
#include "sys/install_folder.h"
#include "sys/manual_reset_event.h"
#include "sys/worker_threads.h"

namespace zel {

namespace test {
class EngineAccess;
}

// User commands, as the dialog records them for the workers.
enum UserCommand : std::int32_t {
    CommandNone = 0,
    CommandPause = 1,
    CommandResume = 2,
    CommandCancel = 3,
    CommandRestart = 4,
};

// How a resumed pass can go on.
enum class ResumePreparation {
    Ready,         // segments read back, package open: the workers may start
    Discarded,     // no usable resume data, or that of another package: deleted
    NoPackageFile  // the package could not be opened
};

class DownloadEngine {
  public:
    static constexpr const char* kStateFileName = "zelv3chunks.txt";

    explicit DownloadEngine(EngineDialog& owner, const Timings& timings = Timings(),
                            const WinInetBinder& bind = BindWinInet);
    // Stops and joins the workers still running before the records, the file
    // and the session they use go away.
    ~DownloadEngine();
    DownloadEngine(const DownloadEngine&) = delete;
    DownloadEngine& operator=(const DownloadEngine&) = delete;

    // --- A pass of the session, on the controller's thread ---------------
    // First step of every pass: a run of earlier workers still going is
    // stopped without its finished message (this pass reports instead), its
    // workers are joined and their records dropped.
    void BeginPass();
    // Waits for a connection (asking the user when there is none) and opens
    // the session; false means the user gave up, or that no session could be
    // opened (SessionUnavailable tells), which the user has been told.
    bool EnsureInternetSession(EngineDialog& window);
    // The last EnsureInternetSession found a connection but could not open
    // a session: the internet library is missing or refused.
    bool SessionUnavailable() const { return sessionUnavailable_.load(); }
    // True when the manifest was fetched, parsed, named a setup URL and a
    // plain file name to save it under. Of its alternates, one that has been
    // failing lately is passed over for another.
    bool FetchManifest(const std::string& url);
    // The size of the manifest's package by a HEAD request; -1 on failure,
    // which counts against the address.
    std::int32_t QueryPackageSize() const;
    std::int32_t QueryRemoteSize(const std::string& url) const;
    // What is left of the quiet that the server of url asked for (a 503 or
    // 429 answer's Retry-After); 0 when it asked for none.
    unsigned ServerWaitMs(const std::string& url) const;
    // Deletes the package, creates it anew at size bytes and splits it into
    // the manifest's segment count; false when the file cannot be made.
    bool PrepareFreshDownload(std::int32_t size);
    // Reads the segments back from the resume file and opens the package.
    ResumePreparation PrepareResume(std::int32_t size);
    // Starts one worker per record; false when a thread could not be made
    // (the run is then wound up: the started workers stop, every range that
    // got no worker goes to the resume file, the finished message follows).
    // A stop during the stagger between starts leaves the rest unstarted in
    // the same way.
    bool StartWorkers(bool resume);

    // --- Commands and readings, from any thread ----------------------------
    // Signals every worker to stop; false when a stop was already signalled.
    bool RequestStop();
    bool IsStopRequested() const;
    void SetUserCommand(UserCommand command) { userCommand_ = command; }
    UserCommand LastUserCommand() const { return userCommand_.load(); }
    // Worker threads still inside their procedure.
    std::int32_t RunningWorkers() const { return runningWorkers_.load(); }
    // The per-attempt byte count of whichever worker of the latest run wrote
    // last; 0 while none of them has.
    std::int32_t LastWorkerBytes() const { return fetcher_.LastWorkerBytes(); }
    std::int32_t TotalWritten() const { return plan_.TotalWritten(); }
    // Back to nothing written, before a download from scratch.
    void ResetProgress() { plan_.SetTotalWritten(0); }
    // A copy of the manifest record as it stands.
    SetupManifest Manifest() const;
    // True when the package file's digest is the manifest's setupHash. The
    // package is first held (HeldFile) and read only through that opening;
    // one that cannot be held so fails like a wrong digest. The first form
    // leaves it held for the caller, who launches what was checked.
    bool VerifyDownloadedFile(HeldFile& package);
    bool VerifyDownloadedFile();
    void DeleteResumeState();
    // True when the system reports a connection or cannot tell.
    bool IsConnected() const { return session_.IsConnected(); }
    std::string InstallFolder() const { return installFolder_; }
    // False when the install folder could not be had or made safe (only
    // administrators may change it, no link on the way): nothing may be read
    // from it, written to it or deleted in it then.
    bool HasInstallFolder() const { return !installFolder_.empty(); }
    // installFolder + saveFileName, and installFolder + kStateFileName.
    std::string PackagePath() const;
    std::string StateFilePath() const { return installFolder_ + kStateFileName; }
    // Stops the workers and joins them; the owner's teardown, on the thread
    // that started the passes or after it has ended.
    void StopWorkers();

    // --- The parts of a pass, guarded like it ------------------------------
    // Each refuses (false, nothing changed) while a worker runs.
    bool SetManifest(const SetupManifest& manifest);
    bool SetInstallFolder(const std::string& folder);
    // Creates the package file at path at size bytes; it stays open for the
    // workers. A file that cannot be given its size is closed again.
    bool CreateTargetFile(const std::string& path, std::int32_t size);
    // Opens the existing package file of a resumed download.
    bool OpenTargetFile(const std::string& path);
    bool CloseTargetFile();
    // Appends a segment record fetching [start, start + length) of the
    // manifest's current setupUrl.
    bool AddSegment(std::uint8_t index, std::int32_t start, std::int32_t length);
    bool ClearSegments();
    // Reads the resume file back into segment records; true when it held at
    // least one segment. A file that points outside the package is deleted
    // and reads as nothing.
    bool LoadResumeState();

    // --- Internet access ----------------------------------------------------
    // Puts the library online and opens the shared session unless it is
    // open; false when it cannot be opened.
    bool OpenInternetSession() { return session_.Open(); }
    void CloseInternetSession() { session_.Close(); }
    // Sets an option of the open session (a tool's own trust file, say).
    bool SetSessionOption(Dword option, void* buffer, Dword length);
    // The window the progress and finished messages go to; set by
    // EnsureInternetSession.
    void SetNotifyWindow(EngineDialog* window) { notifyWindow_ = window; }

  private:
    friend class test::EngineAccess;

    // True once no worker runs any more and none is being started; their
    // threads are then joined.
    bool WorkersGone();
    // Posts to the notify window when one is set.
    void PostToNotifyWindow(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) const;
    bool DownloadToBuffer(const std::string& url, std::int32_t size, char* buffer) const;
    // The hooks a new record's worker calls: the engine's own operations.
    WorkerHooks OwnHooks();

    // The worker side, run on the worker threads. WorkerMain ends by taking
    // itself off runningWorkers, which StartWorkers raised for it; a worker
    // whose range is done takes over part of another's before it ends.
    void WorkerMain(PlannedSegment* segment);
    void OnWorkerStarted(std::uint8_t index);
    void OnWorkerFinished(std::uint8_t index, SegmentResult result, std::int32_t nextStart,
                          std::int32_t remaining);
    bool WriteSegmentData(std::uint8_t index, std::int32_t offset, const char* buffer,
                          std::int32_t count, std::int32_t* written);

    EngineDialog& ownerDialog_;
    const Timings timings_;
    // Both kept across passes, guarded inside; the const size query notes
    // its answer in them too.
    mutable ServerPacing serverPacing_;
    mutable AddressTrouble addressTrouble_;
    SharedSession session_;
    std::string installFolder_;     // ends with a backslash
    FolderHold installFolderHold_;  // the folders on the way, kept in place

    // Written only while no worker runs (controller thread), under
    // manifestLock_ so that the dialog's thread can read it at any time.
    SetupManifest manifest_;
    mutable std::mutex manifestLock_;

    std::atomic<UserCommand> userCommand_{CommandNone};
    ManualResetEvent stopEvent_;  // set: every worker is to stop
    std::atomic<std::int32_t> runningWorkers_{0};
    std::atomic<bool> startingWorkers_{false};  // StartWorkers is running
    std::atomic<bool> sessionUnavailable_{false};
    std::atomic<EngineDialog*> notifyWindow_{nullptr};
    std::mutex startLock_;  // staggers the workers' start

    SegmentPlan plan_;
    ResumeFileWriter writer_;
    RangeSharing sharing_;
    RangeFetcher fetcher_;
    // Controller thread and destructor only; declared last so that the
    // workers are joined before any other member goes away.
    WorkerThreads workerThreads_;
};

}  // namespace zel
