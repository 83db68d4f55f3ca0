#include "engine/wininet_api.h"

#include <windows.h>
#include <wininet.h>

#include <cstddef>

namespace zel {

// The records the library reads through the table must have its own layout,
// on i686 and on x86_64 alike.
static_assert(sizeof(UrlComponents) == sizeof(URL_COMPONENTSA), "URL_COMPONENTSA size");
static_assert(offsetof(UrlComponents, port) == offsetof(URL_COMPONENTSA, nPort),
              "URL_COMPONENTSA port");
static_assert(offsetof(UrlComponents, extraInfoLength) ==
                  offsetof(URL_COMPONENTSA, dwExtraInfoLength),
              "URL_COMPONENTSA last member");
static_assert(sizeof(ConnectedInfo) == sizeof(INTERNET_CONNECTED_INFO),
              "INTERNET_CONNECTED_INFO size");

namespace {

// Binds one entry by name; a name the library lacks leaves the entry empty.
template <typename Fn>
void BindEntry(const LibraryModule& module, const char* name, Fn& entry) {
    entry = reinterpret_cast<Fn>(module.FindExport(name));
}

}  // namespace

void BindWinInet(WinInetApi& api) {
    if (!api.module.Load("wininet.dll")) return;
    BindEntry(api.module, "InternetGetConnectedState", api.InternetGetConnectedState);
    BindEntry(api.module, "InternetCloseHandle", api.InternetCloseHandle);
    BindEntry(api.module, "InternetGetLastResponseInfoA", api.InternetGetLastResponseInfoA);
    BindEntry(api.module, "HttpSendRequestA", api.HttpSendRequestA);
    BindEntry(api.module, "HttpQueryInfoA", api.HttpQueryInfoA);
    BindEntry(api.module, "HttpOpenRequestA", api.HttpOpenRequestA);
    BindEntry(api.module, "HttpAddRequestHeadersA", api.HttpAddRequestHeadersA);
    BindEntry(api.module, "InternetConnectA", api.InternetConnectA);
    BindEntry(api.module, "InternetReadFile", api.InternetReadFile);
    BindEntry(api.module, "InternetCrackUrlA", api.InternetCrackUrlA);
    BindEntry(api.module, "InternetOpenA", api.InternetOpenA);
    BindEntry(api.module, "InternetSetOptionA", api.InternetSetOptionA);
}

}  // namespace zel
