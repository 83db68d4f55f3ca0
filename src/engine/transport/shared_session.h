// The bound internet functions and the one internet session that every
// request of a download shares: the manifest, the size queries and every
// worker's ranges.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "engine/transport/wininet_api.h"

namespace zel {

// Fills the internet function table; tests bind the real table and then
// replace entries with fakes.
using WinInetBinder = std::function<void(WinInetApi&)>;

class SharedSession {
  public:
    static constexpr const char* kAgentName = "ZEL Downloader";

    explicit SharedSession(const WinInetBinder& bind);
    // Closes the session through the table before the library goes with it.
    ~SharedSession() { Close(); }
    SharedSession(const SharedSession&) = delete;
    SharedSession& operator=(const SharedSession&) = delete;

    // Puts the library online and opens the session unless it is open;
    // false (with a line in the error list) when it cannot be opened.
    bool Open();
    // Closes the session if it is open; any thread.
    void Close();
    InternetHandle Handle() const { return handle_.load(); }
    // Bound once in the constructor, read-only afterwards.
    const WinInetApi& Api() const { return api_; }
    // True when the system reports a connection or cannot tell.
    bool IsConnected() const;
    // What went wrong opening the session; nothing shows it. Controller
    // thread only.
    const std::vector<std::string>& ErrorList() const { return errorList_; }

  private:
    WinInetApi api_;
    std::atomic<InternetHandle> handle_{nullptr};
    std::vector<std::string> errorList_;
};

}  // namespace zel
