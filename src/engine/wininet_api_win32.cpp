#include "engine/wininet_api.h"

namespace zel {

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
