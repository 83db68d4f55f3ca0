// libFuzzer target: any text as an alternate URL, split the way every request
// of the program splits it. A split must never write past its buffers, and
// what it yields must be pieces of a URL: no NUL inside, a request path that
// starts at the root when the URL is http.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/transport/internet_access.h"
#include "engine/transport/wininet_api.h"

namespace {

bool HoldsNul(const std::string& text) {
    return text.find('\0') != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static zel::WinInetApi* const api = [] {
        auto* table = new zel::WinInetApi;
        zel::BindWinInet(*table);
        return table;
    }();
    const std::string url(reinterpret_cast<const char*>(data), size);
    zel::UrlParts parts;
    if (!zel::CrackUrl(*api, url.c_str(), parts)) return 0;
    if (HoldsNul(parts.scheme) || HoldsNul(parts.host) || HoldsNul(parts.urlPath) ||
        HoldsNul(parts.extraInfo) || HoldsNul(parts.userName) || HoldsNul(parts.password))
        std::abort();
    const std::string object = parts.ObjectName();
    if (parts.schemeNumber == zel::inet::kSchemeHttp && !object.empty() && object[0] != '/' &&
        object[0] != '?' && object[0] != '#')
        std::abort();
    return 0;
}
