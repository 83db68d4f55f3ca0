// Fetching the setup manifest, and the connectivity check that precedes it.
#include <algorithm>
#include <chrono>
#include <new>
#include <thread>
#include <utility>
#include <vector>

#include "engine/download_engine.h"
#include "engine/engine_texts.h"
#include "engine/segments/resume_state.h"
#include "engine/transport/internet_access.h"
#include "sys/text.h"

namespace zel {

namespace {

// A manifest is a few hundred bytes; a server announcing more is not to be
// believed with the program's memory.
constexpr std::int32_t kMaxManifestBytes = 1024 * 1024;

void Wait(unsigned ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// True when name would reach the resume file or the name its new versions
// are written under: either name in any case, with the trailing dots and
// spaces that Windows drops, or the short name Windows gives it
// (ZELV3C~1.TXT, ZELV3C~1.NEW and the like).
bool NamesTheResumeFile(const std::string& name) {
    std::string upper = UpperAscii(name);
    while (!upper.empty() && (upper.back() == '.' || upper.back() == ' ')) upper.pop_back();
    const std::string stateFile = DownloadEngine::kStateFileName;
    if (upper == UpperAscii(stateFile) || upper == UpperAscii(StateTempPath(stateFile)))
        return true;
    const std::string prefix = "ZELV3C~";
    const std::size_t dot = upper.rfind('.');
    if (dot == std::string::npos || dot <= prefix.size() || upper.compare(0, prefix.size(), prefix))
        return false;
    const std::string extension = upper.substr(dot);
    if (extension != ".TXT" && extension != ".NEW") return false;
    const std::string number = upper.substr(prefix.size(), dot - prefix.size());
    return number.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

bool DownloadEngine::FetchManifest(const std::string& url) {
    // Workers read the manifest: it changes only while none runs.
    if (!WorkersGone()) return false;
    ownerDialog_.SetStatusText(texts::kCollectingInfo);
    const std::int32_t size = QueryRemoteSize(url);
    if (size < 0 || size > kMaxManifestBytes) return false;
    std::vector<char> buffer;
    try {
        buffer.resize(static_cast<std::size_t>(size) + 1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!DownloadToBuffer(url, size, buffer.data())) return false;
    buffer[static_cast<std::size_t>(size)] = '\0';
    SetupManifest read = manifest_;
    const bool parsed = read.Parse(buffer.data());
    const bool usable = parsed && !read.setupUrl.empty();
    const bool safeName =
        SetupManifest::IsPlainFileName(read.saveFileName) && !NamesTheResumeFile(read.saveFileName);
    // A name that could leave the install folder, or that would make the
    // package and the resume file one file, is never kept around.
    if (usable && !safeName) read.saveFileName.clear();
    if (usable) {
        // The package keeps the name the first choice gave it, whichever
        // mirror serves it: a package begun at one is resumed from another.
        const auto& alternates = read.alternateUrls;
        const auto chosen = std::find(alternates.begin(), alternates.end(), read.setupUrl);
        if (chosen != alternates.end()) {
            const std::int32_t at = ChooseAlternate(
                alternates, static_cast<std::int32_t>(chosen - alternates.begin()),
                [this](const std::string& address) { return addressTrouble_.Rank(address); });
            if (at >= 0) read.setupUrl = alternates[static_cast<std::size_t>(at)];
        }
    }
    std::lock_guard<std::mutex> lock(manifestLock_);
    manifest_ = std::move(read);
    return usable && safeName;
}

bool DownloadEngine::EnsureInternetSession(EngineDialog& window) {
    Wait(timings_.connectivityWaitMs);
    notifyWindow_.store(&window);
    sessionUnavailable_ = false;
    if (session_.IsConnected()) {
        if (session_.Open()) return true;
        // Online, yet no session: the internet library is missing or refuses.
        // Nothing else would tell the user why the program ends.
        sessionUnavailable_ = true;
        if (!session_.ErrorList().empty())
            ownerDialog_.ShowMessageBox(session_.ErrorList().back(), kMbOk | kMbIconError);
        return false;
    }
    Wait(timings_.connectivityWaitMs);
    // Back already: the session stays closed on this path; the fetch that
    // follows fails and the controller's next pass opens it.
    if (session_.IsConnected()) return true;
    ownerDialog_.SetStatusText(texts::kInternetError);
    if (ownerDialog_.WaitForConnection(texts::kInternetErrorRetryQuestion) == kIdYes) return true;
    ownerDialog_.ShowMessageBox(texts::kFailedForInternetError, kMbOk);
    return false;
}

}  // namespace zel
