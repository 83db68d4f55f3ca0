#include <windows.h>
#include <wininet.h>

#include <vector>

#include "support/internet_cache.h"

namespace zel::test {

bool CachedBySystem(const std::string& url) {
    DWORD size = 0;
    if (GetUrlCacheEntryInfoA(url.c_str(), nullptr, &size)) return true;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;  // not found
    std::vector<char> entry(size);
    return GetUrlCacheEntryInfoA(url.c_str(),
                                 reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(entry.data()),
                                 &size) != FALSE;
}

}  // namespace zel::test
