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
#include <vector>

#include "engine/engine_dialog.h"
#include "engine/manual_reset_event.h"
#include "engine/segment.h"
#include "engine/setup_manifest.h"
#include "engine/timings.h"
#include "engine/wininet_api.h"

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
    // Does not wait for workers: the dialog has waited for runningWorkers to
    // reach 0 before it destroys the engine.
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
    // (CreateTargetFile, OpenTargetFile, AddSegment, ClearSegments,
    //  StartWorkers, RequestStop, the worker and its hooks, the resume file
    //  writer and reader are declared here by the segmented download.)

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

    // targetFile: the package file being written (owned by the segmented
    // download's file type) goes here.

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
};

}  // namespace zel
