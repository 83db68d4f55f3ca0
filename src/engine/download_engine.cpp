#include "engine/download_engine.h"

#include "engine/transport/internet_access.h"
#include "sys/install_folder.h"

namespace zel {

DownloadEngine::DownloadEngine(EngineDialog& owner, const Timings& pacing,
                               const WinInetBinder& bind)
    : ownerDialog_(owner),
      timings_(pacing),
      serverPacing_(pacing.retryAfterSecondMs, pacing.retryAfterCapMs),
      session_(bind),
      plan_([this](std::int32_t count, std::int32_t total) {
          writer_.NoteWrite(count);
          PostToNotifyWindow(WM_DOWNLOAD_PROGRESS, static_cast<std::uintptr_t>(total), 0);
      }),
      writer_(plan_, timings_),
      sharing_(plan_, timings_, addressTrouble_),
      fetcher_(session_, manifest_, timings_, serverPacing_, addressTrouble_, sharing_,
               ownerDialog_, stopEvent_, [this] { return IsStopRequested(); }) {
    // No folder (no profile, no rights), or one that cannot be made safe,
    // leaves it empty: the controller then stops before anything is read,
    // written or deleted there. The folders on the way stay held for the
    // engine's life.
    if (!GetInstallFolder(installFolder_, std::string(), installFolderHold_))
        installFolder_.clear();
}

DownloadEngine::~DownloadEngine() {
    // The owner normally has stopped the workers already; whatever still
    // runs is stopped and joined before the records, the file and the
    // session it uses go away. The session is closed through the table
    // before the library goes with it.
    StopWorkers();
    session_.Close();
    plan_.Clear();
}

void DownloadEngine::StopWorkers() {
    stopEvent_.Set();
    workerThreads_.JoinAll();
    // The last worker's end has ended the checkpoints too.
    writer_.Join();
}

bool DownloadEngine::WorkersGone() {
    if (startingWorkers_.load() || runningWorkers_.load() > 0) return false;
    // Every worker has left its procedure (or none ever ran), and the last
    // one's end has ended the checkpoints: joining only waits for the
    // threads' own exit.
    workerThreads_.JoinAll();
    writer_.Join();
    return true;
}

void DownloadEngine::BeginPass() {
    if (writer_.TakeOver()) stopEvent_.Set();
    workerThreads_.JoinAll();
    writer_.Join();
    plan_.Clear();
}

SetupManifest DownloadEngine::Manifest() const {
    std::lock_guard<std::mutex> lock(manifestLock_);
    return manifest_;
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

bool DownloadEngine::SetSessionOption(Dword option, void* buffer, Dword length) {
    const WinInetApi& api = session_.Api();
    return api.InternetSetOptionA && session_.Handle() &&
           api.InternetSetOptionA(session_.Handle(), option, buffer, length);
}

std::int32_t DownloadEngine::QueryRemoteSize(const std::string& url) const {
    return zel::QueryRemoteSize(session_.Api(), session_.Handle(), url, &serverPacing_, timings_);
}

std::int32_t DownloadEngine::QueryPackageSize() const {
    const std::string url = Manifest().setupUrl;
    const std::int32_t size = QueryRemoteSize(url);
    if (size < 0) addressTrouble_.NoteFailure(url);
    return size;
}

unsigned DownloadEngine::ServerWaitMs(const std::string& url) const {
    return fetcher_.ServerWaitMs(url);
}

bool DownloadEngine::DownloadToBuffer(const std::string& url, std::int32_t size,
                                      char* buffer) const {
    try {
        return zel::DownloadToBuffer(session_.Api(), session_.Handle(), timings_, url, size, buffer,
                                     &serverPacing_);
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
