// Opening the one internet session that every request of the program shares.
#include <string>

#include "engine/download_engine.h"
#include "engine/internet_access.h"
#include "sys/last_error.h"
#include "sys/resource_strings.h"

namespace zel {

namespace {

// The string table's text, should a build lack its table.
constexpr const char* kInternetErrorText = "Error connecting to Internet.\n\n%1";
constexpr Dword kErrorModuleNotFound = 126;

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

}  // namespace

bool DownloadEngine::OpenInternetSession() {
    if (internetApi_.InternetSetOptionA) {
        // Takes the library out of offline mode, should the user have set it.
        ConnectedInfo info{inet::kStateConnected, 0};
        internetApi_.InternetSetOptionA(nullptr, inet::kOptionConnectedState, &info, sizeof info);
    }
    if (internetSession_.load()) return true;
    InternetHandle session = nullptr;
    Dword error = kErrorModuleNotFound;
    if (internetApi_.InternetOpenA) {
        session =
            internetApi_.InternetOpenA(kAgentName, inet::kOpenTypePreconfig, nullptr, nullptr, 0);
        if (!session) error = LastSystemError();
    }
    if (session) {
        internetSession_.store(session);
        return true;
    }
    std::string text = LoadResourceString(IDS_INTERNET_SESSION_ERROR);
    if (text.empty()) text = kInternetErrorText;
    errorList_.push_back(ReplaceAll(text, "%1", FormatInternetError(internetApi_, error)));
    return false;
}

}  // namespace zel
