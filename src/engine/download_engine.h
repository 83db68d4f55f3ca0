// The one object through which the dialog drives a download. It owns the
// bound internet functions, the manifest record, the segment records, the
// package file, the worker threads and the stop event, and it guards them:
// the records, the file and the manifest change only while no worker runs.
// The session controller reaches it through the operations below; the
// dialog's thread only gives commands and reads.
//
// The resume file beside the package always describes bytes that are on the
// disk: while workers run, a checkpoint of their progress replaces it at a
// fixed interval and whenever a worker ends; the run's end replaces it with
// the ranges its workers left (a stop), or removes it (every byte fetched).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/address_trouble.h"
#include "engine/checkpoint_schedule.h"
#include "engine/engine_dialog.h"
#include "engine/resume_state.h"
#include "engine/segment.h"
#include "engine/server_pacing.h"
#include "engine/setup_manifest.h"
#include "engine/timings.h"
#include "engine/wininet_api.h"
#include "sys/manual_reset_event.h"
#include "sys/target_file.h"
#include "sys/worker_threads.h"

namespace zel {

// Fills the internet function table; tests bind the real table and then
// replace entries with fakes.
using WinInetBinder = std::function<void(WinInetApi&)>;

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
    static constexpr const char* kAgentName = "ZEL Downloader";
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
    // the session; false means the user gave up.
    bool EnsureInternetSession(EngineDialog& window);
    // True when the manifest was fetched, parsed, named a setup URL and a
    // plain file name to save it under. Of its alternates, one that has been
    // failing lately is passed over for another.
    bool FetchManifest(const std::string& url);
    // The size of the manifest's package by a HEAD request; -1 on failure,
    // which counts against the address.
    std::int32_t QueryPackageSize() const;
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
    // The per-attempt byte count of whichever worker wrote last.
    std::int32_t LastWorkerBytes() const { return lastWorkerBytes_.load(); }
    std::int32_t TotalWritten() const { return totalWritten_.load(); }
    // Back to nothing written, before a download from scratch.
    void ResetProgress() { totalWritten_ = 0; }
    // True when the package file's digest is the manifest's setupHash.
    bool VerifyDownloadedFile();
    void DeleteResumeState();
    // True when the system reports a connection or cannot tell.
    bool IsConnected() const;
    std::string InstallFolder() const { return installFolder_; }
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
    // Creates the package file at path and fills it with size zeros; it stays
    // open for the workers. A failed fill closes it again.
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

    // --- Readings for tests and tools ---------------------------------------
    const SetupManifest& Manifest() const { return manifest_; }
    std::size_t SegmentCount() const { return segments_.size(); }
    // A record's hooks may be replaced before its worker starts.
    CThread& Segment(std::size_t index) { return *segments_.at(index); }
    bool IsTargetFileOpen() const { return targetFile_.IsOpen(); }
    const std::vector<std::string>& ErrorList() const { return errorList_; }
    void SetWorkerLauncher(ThreadLauncher launcher) {
        workerThreads_.SetLauncher(std::move(launcher));
    }

    // --- Internet access -------------------------------------------------
    // Puts the library online and opens the shared session unless it is
    // open; false (with a line in the error list) when it cannot be opened.
    bool OpenInternetSession();
    // Closes the shared session if it is open.
    void CloseInternetSession();
    InternetHandle InternetSession() const { return internetSession_.load(); }
    const WinInetApi& InternetApi() const { return internetApi_; }
    std::int32_t QueryRemoteSize(const std::string& url) const;
    bool DownloadToBuffer(const std::string& url, std::int32_t size, char* buffer) const;

    // The window the progress and finished messages go to; set by
    // EnsureInternetSession.
    void SetNotifyWindow(EngineDialog* window) { notifyWindow_ = window; }
    EngineDialog* NotifyWindow() const { return notifyWindow_.load(); }
    // Posts to the notify window when one is set.
    void PostToNotifyWindow(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) const;

  private:
    // True once no worker runs any more; their threads are then joined.
    bool WorkersGone();

    // The worker side, run on the worker threads. WorkerMain ends by taking
    // itself off runningWorkers, which StartWorkers raised for it.
    void WorkerMain(CThread* record);
    SegmentResult DownloadSegment(CThread& record);
    SegmentResult RetrySegment(CThread& record, SegmentResult first);
    // Waits before a worker's next attempt: the wait its back-off chose, or
    // longer when the server asked for quiet; a stop ends it early.
    void WaitBeforeRetry(const CThread& record, unsigned chosenMs);
    // The record's address keeps failing: counted against it, and the
    // record moves to the alternate with the least trouble, if another.
    void MoveToAnotherAlternate(CThread& record);
    // Fills buffer with up to wanted bytes of the answer, as they arrive;
    // fewer when the answer ends or a stop is requested. False when a read
    // failed: *filled still counts what arrived before, to be written.
    bool FillPiece(InternetHandle request, char* buffer, std::int32_t wanted, std::int32_t* filled);
    // Reads count bytes of the answer and throws them away: a server that
    // ignores Range sends the package from its first byte.
    SegmentResult SkipLeadingBytes(InternetHandle request, std::int32_t count, char* buffer,
                                   std::int32_t bufferSize);
    // True when the answer may be written at the record's offset.
    bool AnswerFitsRange(InternetHandle request, std::int32_t status, const CThread& record);
    void OnWorkerStarted(std::uint8_t index);
    void OnWorkerFinished(std::uint8_t index, SegmentResult result, std::int32_t nextStart,
                          std::int32_t remaining);
    bool WriteSegmentData(std::uint8_t index, std::int32_t offset, const char* buffer,
                          std::int32_t count, std::int32_t* written);

    // The resume state of a run's end, under finishLock_: the sections of
    // the workers that left bytes, in the order they ended, and the global
    // section after the last one's.
    void AppendSegmentState(std::uint8_t index, std::int32_t start, std::int32_t length);
    void AppendGlobalState();
    // Replaces the checkpoint with the run's end state, or removes it when
    // the run left nothing to fetch.
    void SaveRunEndState();

    // Checkpoints, on a thread of their own while a run's workers run.
    void StartCheckpoints(const std::vector<CThread*>& records);
    void CheckpointLoop();
    void WriteCheckpoint();
    // Counts a write towards the next write-back; under writeLock_.
    void NoteWriteForWriteBack(std::int32_t count);
    // Starts the write-back of what each segment wrote since the last one
    // (checkpoint thread).
    void StartWriteBack();
    // True once every byte written to the package is on the disk itself;
    // under finishLock_, which keeps the file open.
    bool FlushPackage();
    bool RunEnded() const { return workersFinished_ >= workersExpected_; }  // under finishLock_

    EngineDialog& ownerDialog_;
    const Timings timings_;
    // Both kept across passes, guarded inside; the const size query notes
    // its answer in them too.
    mutable ServerPacing serverPacing_;
    mutable AddressTrouble addressTrouble_;
    WinInetApi internetApi_;  // bound once in the constructor, read-only afterwards
    std::atomic<InternetHandle> internetSession_{nullptr};
    std::vector<std::string> errorList_;  // never shown
    std::string installFolder_;           // ends with a backslash

    // Written only while no worker runs (controller thread), under
    // manifestLock_ so that the dialog's thread can read it at any time.
    SetupManifest manifest_;
    mutable std::mutex manifestLock_;
    // Changed only while no worker runs; workers hold raw pointers to them.
    std::vector<std::unique_ptr<CThread>> segments_;
    // Workers write under writeLock_; checkpoints flush it and the last
    // worker closes it under finishLock_.
    TargetFile targetFile_;

    std::atomic<UserCommand> userCommand_{CommandNone};
    ManualResetEvent stopEvent_;  // set: every worker is to stop
    std::atomic<std::int32_t> totalWritten_{0};
    std::atomic<std::int32_t> runningWorkers_{0};
    std::atomic<bool> startingWorkers_{false};  // StartWorkers is running
    std::atomic<std::int32_t> lastWorkerBytes_{0};
    std::atomic<EngineDialog*> notifyWindow_{nullptr};

    std::uint8_t workersExpected_ = 0;  // under finishLock_
    std::uint8_t workersFinished_ = 0;  // under finishLock_
    std::uint8_t workersFailed_ = 0;    // under finishLock_; never reset
    // Set when a pass took the run over: its end posts no finished message.
    bool runTakenOver_ = false;  // under finishLock_
    // How the latest worker that left bytes ended; under finishLock_.
    SegmentResult leftBytesResult_ = ResultComplete;
    // Set when a resumed run has started. From its start on, the resume file
    // is this run's: the one it was resumed from until the first checkpoint
    // replaces it, then its checkpoints, then what its end writes. The delete
    // that follows a resumed start would leave a crash nothing to resume
    // from, or lose the sections of a run that has already ended; that one
    // delete is skipped, every later one deletes.
    bool resumeFileTaken_ = false;  // under finishLock_

    // How far each segment of the run has come, counted as its writes
    // return; under writeLock_.
    std::vector<SegmentProgress> progress_;
    // The resume state the run's end writes, built as the workers end.
    std::string runEndState_;  // under finishLock_
    CheckpointSchedule checkpointSchedule_;
    std::string lastCheckpoint_;  // the checkpoint thread's own
    // Where each segment's bytes not yet sent to the disk begin, in the
    // order of progress_; the checkpoint thread's own.
    std::vector<std::int32_t> writeBackFrom_;
    // The writers ask for a write-back every timings_.writeBackStretchBytes,
    // while the checkpoint thread runs (writeBackWanted_); under writeLock_.
    unsigned bytesSinceWriteBack_ = 0;
    bool writeBackWanted_ = false;

    std::mutex writeLock_;   // writes to targetFile_, totalWritten_, progress messages
    std::mutex startLock_;   // staggers the workers' start
    std::mutex finishLock_;  // the end of the workers, checkpoints and the resume file

    // Controller thread and destructor only; declared last so that their
    // threads are joined before any other member goes away. The checkpoint
    // thread is started apart from the workers: it is no worker, and the
    // worker launcher that tests replace never sees it.
    WorkerThreads checkpointThread_;
    WorkerThreads workerThreads_;
};

}  // namespace zel
