// Opening the one internet session that every request of the program shares.
#include "engine/transport/shared_session.h"

#include <string>

#include "engine/transport/internet_access.h"
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

SharedSession::SharedSession(const WinInetBinder& bind) {
    if (bind) bind(api_);
}

bool SharedSession::Open() {
    if (api_.InternetSetOptionA) {
        // Takes the library out of offline mode, should the user have set it.
        ConnectedInfo info{inet::kStateConnected, 0};
        api_.InternetSetOptionA(nullptr, inet::kOptionConnectedState, &info, sizeof info);
    }
    if (handle_.load()) return true;
    InternetHandle session = nullptr;
    Dword error = kErrorModuleNotFound;
    if (api_.InternetOpenA) {
        session = api_.InternetOpenA(kAgentName, inet::kOpenTypePreconfig, nullptr, nullptr, 0);
        if (!session) error = LastSystemError();
    }
    if (session) {
        handle_.store(session);
        return true;
    }
    std::string text = LoadResourceString(IDS_INTERNET_SESSION_ERROR);
    if (text.empty()) text = kInternetErrorText;
    errorList_.push_back(ReplaceAll(text, "%1", FormatInternetError(api_, error)));
    return false;
}

void SharedSession::Close() {
    InternetHandle session = handle_.exchange(nullptr);
    if (session && api_.InternetCloseHandle) api_.InternetCloseHandle(session);
}

bool SharedSession::IsConnected() const {
    return CountsAsConnected(api_);
}

}  // namespace zel
