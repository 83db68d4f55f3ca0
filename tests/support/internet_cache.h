// What the system's internet cache holds: the Windows library keeps answers
// there unless a request says otherwise; the native build has no such cache.
#pragma once

#include <string>

namespace zel::test {

// True when the system's cache holds an entry for url.
bool CachedBySystem(const std::string& url);

}  // namespace zel::test
