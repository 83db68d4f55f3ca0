#include "engine/download_engine.h"

#include "engine/internet_access.h"
#include "sys/install_folder.h"

namespace zel {

DownloadEngine::DownloadEngine(EngineDialog& owner, const Timings& pacing,
                               const WinInetBinder& bind)
    : ownerDialog(owner), timings(pacing) {
    // No folder (no profile, no rights) leaves it empty: the package and the
    // resume file then cannot be written, which the controller reports.
    if (!GetInstallFolder(installFolder, std::string())) installFolder.clear();
    if (bind) bind(internetApi);
}

DownloadEngine::~DownloadEngine() {
    // The target file closes with its owner; the session must be closed
    // through the table before the library goes, and the library goes with
    // the table's module member, after this body.
    CloseInternetSession();
    segments.clear();
}

void DownloadEngine::CloseInternetSession() {
    InternetHandle session = internetSession.exchange(nullptr);
    if (session && internetApi.InternetCloseHandle) internetApi.InternetCloseHandle(session);
}

std::int32_t DownloadEngine::QueryRemoteSize(const std::string& url) const {
    return zel::QueryRemoteSize(internetApi, internetSession.load(), url);
}

bool DownloadEngine::DownloadToBuffer(const std::string& url, std::int32_t size,
                                      char* buffer) const {
    try {
        return zel::DownloadToBuffer(internetApi, internetSession.load(), timings, url, size,
                                     buffer);
    } catch (...) {
        return false;
    }
}

void DownloadEngine::PostToNotifyWindow(unsigned message, std::uintptr_t wParam,
                                        std::intptr_t lParam) const {
    if (EngineDialog* window = notifyWindow.load())
        window->PostDialogMessage(message, wParam, lParam);
}

}  // namespace zel
