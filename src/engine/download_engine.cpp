#include "engine/download_engine.h"

#include "engine/internet_access.h"
#include "sys/install_folder.h"

namespace zel {

DownloadEngine::DownloadEngine(EngineDialog& owner, const Timings& pacing,
                               const WinInetBinder& bind)
    : ownerDialog_(owner),
      timings_(pacing),
      serverPacing_(pacing.retryAfterSecondMs, pacing.retryAfterCapMs) {
    // No folder (no profile, no rights) leaves it empty: the package and the
    // resume file then cannot be written, which the controller reports.
    if (!GetInstallFolder(installFolder_, std::string())) installFolder_.clear();
    if (bind) bind(internetApi_);
}

DownloadEngine::~DownloadEngine() {
    // The owner normally has stopped the workers already; whatever still
    // runs is stopped and joined before the records, the file and the
    // session it uses go away.
    StopWorkers();
    // The target file closes with its owner; the session must be closed
    // through the table before the library goes, and the library goes with
    // the table's module member, after this body.
    CloseInternetSession();
    segments_.clear();
}

void DownloadEngine::StopWorkers() {
    stopEvent_.Set();
    workerThreads_.JoinAll();
    // The last worker's end has ended the checkpoints too.
    checkpointThread_.JoinAll();
}

bool DownloadEngine::WorkersGone() {
    if (startingWorkers_.load() || runningWorkers_.load() > 0) return false;
    // Every worker has left its procedure (or none ever ran), and the last
    // one's end has ended the checkpoints: joining only waits for the
    // threads' own exit.
    workerThreads_.JoinAll();
    checkpointThread_.JoinAll();
    return true;
}

void DownloadEngine::BeginPass() {
    bool stillRunning = false;
    {
        std::lock_guard<std::mutex> lock(finishLock_);
        if (workersFinished_ < workersExpected_) {
            runTakenOver_ = true;
            stillRunning = true;
        }
    }
    if (stillRunning) stopEvent_.Set();
    workerThreads_.JoinAll();
    checkpointThread_.JoinAll();
    segments_.clear();
}

bool DownloadEngine::SetManifest(const SetupManifest& manifest) {
    if (!WorkersGone()) return false;
    std::lock_guard<std::mutex> lock(manifestLock_);
    manifest_ = manifest;
    return true;
}

bool DownloadEngine::SetInstallFolder(const std::string& folder) {
    if (!WorkersGone()) return false;
    installFolder_ = folder;
    return true;
}

std::string DownloadEngine::PackagePath() const {
    std::lock_guard<std::mutex> lock(manifestLock_);
    return installFolder_ + manifest_.saveFileName;
}

bool DownloadEngine::IsConnected() const {
    return CountsAsConnected(internetApi_);
}

void DownloadEngine::CloseInternetSession() {
    InternetHandle session = internetSession_.exchange(nullptr);
    if (session && internetApi_.InternetCloseHandle) internetApi_.InternetCloseHandle(session);
}

std::int32_t DownloadEngine::QueryRemoteSize(const std::string& url) const {
    return zel::QueryRemoteSize(internetApi_, internetSession_.load(), url, &serverPacing_);
}

std::int32_t DownloadEngine::QueryPackageSize() const {
    const std::string url = manifest_.setupUrl;
    const std::int32_t size = QueryRemoteSize(url);
    if (size < 0) addressTrouble_.NoteFailure(url);
    return size;
}

unsigned DownloadEngine::ServerWaitMs(const std::string& url) const {
    UrlParts parts;
    if (url.empty() || !CrackUrl(internetApi_, url, parts)) return 0;
    return serverPacing_.WaitMs(HostKey(parts));
}

bool DownloadEngine::DownloadToBuffer(const std::string& url, std::int32_t size,
                                      char* buffer) const {
    try {
        return zel::DownloadToBuffer(internetApi_, internetSession_.load(), timings_, url, size,
                                     buffer, &serverPacing_);
    } catch (...) {
        return false;
    }
}

void DownloadEngine::PostToNotifyWindow(unsigned message, std::uintptr_t wParam,
                                        std::intptr_t lParam) const {
    if (EngineDialog* window = notifyWindow_.load())
        window->PostDialogMessage(message, wParam, lParam);
}

}  // namespace zel
