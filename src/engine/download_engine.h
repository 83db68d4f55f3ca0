// The one object through which the dialog drives a download. It owns the
// bound internet functions, the manifest record, the segment records and the
// stop event, and holds the state that the controller thread, the worker
// threads and the dialog share.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/engine_dialog.h"
#include "engine/segment.h"
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

// User commands, as the dialog stores them in userCommand.
enum UserCommand : std::int32_t {
    CommandNone = 0,
    CommandPause = 1,
    CommandResume = 2,
    CommandCancel = 3,
    CommandRestart = 4,
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

    std::string InstallFolder() const { return installFolder; }

    // --- Internet access -------------------------------------------------
    // Puts the library online and opens the shared session unless it is
    // open; false (with a line in errorList) when it cannot be opened.
    bool OpenInternetSession();
    // Closes the shared session if it is open.
    void CloseInternetSession();
    std::int32_t QueryRemoteSize(const std::string& url) const;
    bool DownloadToBuffer(const std::string& url, std::int32_t size, char* buffer) const;

    // --- Manifest and connectivity ----------------------------------------
    // Waits for a connection (asking the user when there is none) and opens
    // the session; false means the user gave up.
    bool EnsureInternetSession(EngineDialog& window);
    // True when the manifest was fetched, parsed, named a setup URL and a
    // plain file name to save it under.
    bool FetchManifest(const std::string& url);

    // Posts to notifyWindow when one is set.
    void PostToNotifyWindow(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) const;

    // --- Segmented download, resume file, verification --------------------
    // Creates the package file at path and fills it with size zeros; it stays
    // open for the workers. A failed fill closes it again.
    bool CreateTargetFile(const std::string& path, std::int32_t size);
    // Opens the existing package file of a resumed download.
    bool OpenTargetFile(const std::string& path);
    // Appends a segment record fetching [start, start + length) of the
    // manifest's current setupUrl.
    void AddSegment(std::uint8_t index, std::int32_t start, std::int32_t length);
    // Deletes the records; called once the run's finished message arrived.
    void ClearSegments();
    // Starts one worker per record; false when a thread could not be made
    // (the run is then wound up: the started workers stop, every range that
    // got no worker goes to the resume file, the finished message follows).
    bool StartWorkers(bool resume);
    // Signals every worker to stop; false when a stop was already signalled.
    bool RequestStop();
    bool IsStopRequested() const;

    // The worker side, run on the worker threads. WorkerMain ends by taking
    // itself off runningWorkers, which StartWorkers raised for it.
    void WorkerMain(CThread* record);
    SegmentResult DownloadSegment(CThread& record);
    SegmentResult RetrySegment(CThread& record, SegmentResult first);
    void OnWorkerStarted(std::uint8_t index);
    void OnWorkerFinished(std::uint8_t index, SegmentResult result, std::int32_t nextStart,
                          std::int32_t remaining);
    bool WriteSegmentData(std::uint8_t index, std::int32_t offset, const char* buffer,
                          std::int32_t count, std::int32_t* written);

    // The resume file, installFolder + kStateFileName.
    std::string StateFilePath() const { return installFolder + kStateFileName; }
    bool AppendSegmentState(std::uint8_t index, std::int32_t start, std::int32_t length);
    bool AppendGlobalState();
    // Reads the resume file back into segment records; true when it held at
    // least one segment. A file that points outside the package is deleted
    // and reads as nothing.
    bool LoadResumeState();
    void DeleteResumeState();
    // True when the package file's digest is the manifest's setupHash.
    bool VerifyDownloadedFile();

    // Starts one worker thread running body; false when the system could
    // not create it. Tests put a failing one in place of the default.
    using WorkerLauncher = std::function<bool(std::function<void()> body, std::thread& thread)>;
    static bool LaunchWorkerThread(std::function<void()> body, std::thread& thread);
    WorkerLauncher launchWorker = LaunchWorkerThread;

    // --- State ----------------------------------------------------------
    std::atomic<std::int32_t> userCommand{CommandNone};  // written by the UI, read by workers
    std::uint8_t verifyFailures = 0;                     // controller thread only
    EngineDialog& ownerDialog;
    SetupManifest manifest;
    std::vector<std::string> errorList;  // never shown
    std::vector<std::unique_ptr<CThread>> segments;
    ManualResetEvent stopEvent;  // set: every worker is to stop

    Timings timings;
    WinInetApi internetApi;  // bound once in the constructor, read-only afterwards
    std::atomic<InternetHandle> internetSession{nullptr};

    TargetFile targetFile;  // the package being written: workers under writeLock

    std::string installFolder;  // ends with a backslash
    std::atomic<std::int32_t> totalWritten{0};
    std::uint8_t workersExpected = 0;  // under finishLock
    std::uint8_t workersFinished = 0;  // under finishLock
    std::uint8_t workersFailed = 0;    // under finishLock; never reset
    std::atomic<std::int32_t> runningWorkers{0};
    std::atomic<std::int32_t> lastWorkerBytes{0};
    std::atomic<EngineDialog*> notifyWindow{nullptr};

    std::mutex writeLock;   // writes to targetFile, totalWritten, progress messages
    std::mutex startLock;   // staggers the workers' start
    std::mutex finishLock;  // the end of the workers

  private:
    // Reads count bytes of the answer and throws them away: a server that
    // ignores Range sends the package from its first byte.
    SegmentResult SkipLeadingBytes(InternetHandle request, std::int32_t count, char* buffer,
                                   std::int32_t bufferSize);
    // True when the answer may be written at the record's offset.
    bool AnswerFitsRange(InternetHandle request, std::int32_t status, const CThread& record);

    // Set when a resumed run has started: StartWorkers deleted the old resume
    // file before its first worker, so the delete that follows a resumed
    // start would only throw away sections of this very run. That one delete
    // is skipped; every later one deletes.
    bool resumeFileTaken = false;  // under finishLock
    // Controller thread and destructor only; declared last so that its
    // threads are joined before any other member goes away.
    WorkerThreads workerThreads;
};

}  // namespace zel
