#include "engine/transport/internet_access.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "engine/timings.h"
#include "engine/transport/retry_after.h"
#include "engine/transport/server_pacing.h"
#include "sys/decimal_number.h"
#include "sys/system_message.h"

namespace zel {

namespace {

constexpr Dword kConnectRetries = 5;
const char* const kAcceptTypes[] = {"*/*", nullptr};

// The program's sizes are signed 32-bit: 2 GiB and more cannot be held.
bool FitsSize(unsigned long long value) {
    return value <= static_cast<unsigned long long>(std::numeric_limits<std::int32_t>::max());
}

}  // namespace

ScopedInternetHandle& ScopedInternetHandle::operator=(ScopedInternetHandle&& other) noexcept {
    if (this != &other) {
        Close();
        api_ = other.api_;
        handle_ = other.Release();
    }
    return *this;
}

InternetHandle ScopedInternetHandle::Release() {
    InternetHandle handle = handle_;
    handle_ = nullptr;
    return handle;
}

void ScopedInternetHandle::Close() {
    if (handle_ && api_ && api_->InternetCloseHandle) api_->InternetCloseHandle(handle_);
    handle_ = nullptr;
}

bool IsInternetConnected(const WinInetApi& api) {
    if (!api.InternetGetConnectedState) return false;
    Dword flags = 0;
    if (!api.InternetGetConnectedState(&flags, 0)) return false;
    return (flags & (inet::kConnectionModem | inet::kConnectionLan)) != 0;
}

bool CountsAsConnected(const WinInetApi& api) {
    return !api.InternetGetConnectedState || IsInternetConnected(api);
}

bool CrackUrl(const WinInetApi& api, const std::string& url, UrlParts& parts) {
    if (!api.InternetCrackUrlA) return false;
    // Every piece is a part of the URL, so buffers as long as the URL hold any of them.
    const std::size_t size = url.size() + 1;
    std::vector<char> scheme(size), host(size), user(size), password(size), path(size), extra(size);
    UrlComponents c;
    c.scheme = scheme.data();
    c.hostName = host.data();
    c.userName = user.data();
    c.password = password.data();
    c.urlPath = path.data();
    c.extraInfo = extra.data();
    c.schemeLength = c.hostNameLength = c.userNameLength = c.passwordLength = c.urlPathLength =
        c.extraInfoLength = static_cast<Dword>(size);
    if (!api.InternetCrackUrlA(url.c_str(), 0, 0, &c)) return false;
    // Cut each text at its first NUL, whatever length the library reported.
    parts.scheme = scheme.data();
    parts.schemeNumber = c.schemeNumber;
    parts.host = host.data();
    parts.port = c.port;
    parts.userName = user.data();
    parts.password = password.data();
    parts.urlPath = path.data();
    parts.extraInfo = extra.data();
    return true;
}

bool IsWebScheme(const UrlParts& parts) {
    return parts.schemeNumber == inet::kSchemeHttp || parts.schemeNumber == inet::kSchemeHttps;
}

ScopedInternetHandle ConnectToHost(const WinInetApi& api, InternetHandle session,
                                   const UrlParts& parts) {
    if (!api.InternetConnectA || !session) return ScopedInternetHandle();
    // The URL's user name and password are never sent.
    return ScopedInternetHandle(
        api, api.InternetConnectA(session, parts.host.c_str(), parts.port, nullptr, nullptr,
                                  inet::kServiceHttp, 0, 0));
}

ScopedInternetHandle OpenRequest(const WinInetApi& api, const ScopedInternetHandle& connection,
                                 const char* verb, const UrlParts& parts, Dword flags) {
    if (!api.HttpOpenRequestA || !connection) return ScopedInternetHandle();
    std::string object = parts.ObjectName();
    if (parts.schemeNumber == inet::kSchemeHttps) flags |= inet::kFlagSecure;
    return ScopedInternetHandle(
        api, api.HttpOpenRequestA(connection.Get(), verb, object.c_str(), nullptr, nullptr,
                                  const_cast<const char**>(kAcceptTypes), flags, 0));
}

void ApplyRequestTimeouts(const WinInetApi& api, InternetHandle request, const Timings& timings) {
    if (!api.InternetSetOptionA || !request) return;
    auto set = [&](Dword option, Dword value) {
        api.InternetSetOptionA(request, option, &value, sizeof value);
    };
    set(inet::kOptionConnectRetries, kConnectRetries);
    set(inet::kOptionConnectTimeout, timings.requestTimeoutMs);
    set(inet::kOptionReceiveTimeout, timings.requestTimeoutMs);
    set(inet::kOptionSendTimeout, timings.requestTimeoutMs);
    set(inet::kOptionDataSendTimeout, timings.requestTimeoutMs);
    set(inet::kOptionDataReceiveTimeout, timings.requestTimeoutMs);
}

bool ReadAvailable(const WinInetApi& api, InternetHandle request, char* buffer, Dword wanted,
                   Dword* read) {
    *read = 0;
    if (!api.InternetReadFile) return false;
    if (api.InternetQueryDataAvailable) {
        // A plain read of wanted bytes waits until all of them are there,
        // and a read that then times out throws away what had arrived.
        Dword available = 0;
        if (!api.InternetQueryDataAvailable(request, &available, 0, 0)) return false;
        if (available == 0) return true;  // the answer has ended
        wanted = std::min(wanted, available);
    }
    return api.InternetReadFile(request, buffer, wanted, read) != 0;
}

std::int32_t QueryStatusCode(const WinInetApi& api, InternetHandle request) {
    return QueryNumberHeader(api, request, inet::kQueryStatusCode);
}

std::int32_t QueryNumberHeader(const WinInetApi& api, InternetHandle request, Dword level) {
    if (!api.HttpQueryInfoA || !request) return -1;
    Dword value = 0;
    Dword length = sizeof value;
    if (!api.HttpQueryInfoA(request, level | inet::kQueryFlagNumber, &value, &length, nullptr))
        return -1;
    if (!FitsSize(value)) return -1;
    // The library's number reading may saturate or wrap a value beyond 32
    // bits; the text tells whether the number is the whole truth.
    std::string text;
    if (QueryTextHeader(api, request, level, text)) {
        std::uint64_t exact = 0;
        if (!ParseDecimal(text, 0xFFFFFFFFu, exact) || !FitsSize(exact) || exact != value)
            return -1;
    }
    return static_cast<std::int32_t>(value);
}

bool QueryTextHeader(const WinInetApi& api, InternetHandle request, Dword level,
                     std::string& text) {
    if (!api.HttpQueryInfoA || !request) return false;
    std::vector<char> buffer(256);
    for (int attempt = 0; attempt < 2; ++attempt) {
        Dword length = static_cast<Dword>(buffer.size());
        if (api.HttpQueryInfoA(request, level, buffer.data(), &length, nullptr)) {
            text.assign(buffer.data(), std::min<std::size_t>(length, buffer.size()));
            text = text.c_str();  // cut at a NUL the length may not have counted
            return true;
        }
        if (length <= buffer.size()) return false;  // not a matter of room
        buffer.resize(length + 1);
    }
    return false;
}

std::string HostKey(const UrlParts& parts) {
    return parts.host + ":" + std::to_string(parts.port);
}

void NoteRetryAfter(const WinInetApi& api, InternetHandle request, std::int32_t status,
                    const UrlParts& parts, ServerPacing* pacing) {
    if (!pacing || (status != 503 && status != 429)) return;
    std::string text;
    if (!QueryTextHeader(api, request, inet::kQueryRetryAfter, text)) return;
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::system_clock::now().time_since_epoch());
    std::int64_t seconds = 0;
    if (ParseRetryAfter(text, now.count(), &seconds))
        pacing->NoteRetryAfter(HostKey(parts), seconds);
}

std::int32_t QueryRemoteSize(const WinInetApi& api, InternetHandle session, const std::string& url,
                             ServerPacing* pacing, const Timings& timings) {
    UrlParts parts;
    if (!CrackUrl(api, url, parts) || !IsWebScheme(parts)) return -1;
    ScopedInternetHandle connection = ConnectToHost(api, session, parts);
    if (!connection) return -1;
    ScopedInternetHandle request =
        OpenRequest(api, connection, "HEAD", parts, inet::kHeadRequestFlags);
    if (!request || !api.HttpSendRequestA) return -1;
    ApplyRequestTimeouts(api, request.Get(), timings);
    if (!api.HttpSendRequestA(request.Get(), nullptr, 0, nullptr, 0)) return -1;
    const std::int32_t status = QueryStatusCode(api, request.Get());
    NoteRetryAfter(api, request.Get(), status, parts, pacing);
    if (status != 200) return -1;
    return QueryNumberHeader(api, request.Get(), inet::kQueryContentLength);
}

bool DownloadToBuffer(const WinInetApi& api, InternetHandle session, const Timings& timings,
                      const std::string& url, std::int32_t size, char* buffer,
                      ServerPacing* pacing) {
    if (size < 0 || (size > 0 && !buffer)) return false;
    UrlParts parts;
    if (!CrackUrl(api, url, parts) || !IsWebScheme(parts)) return false;
    ScopedInternetHandle connection = ConnectToHost(api, session, parts);
    if (!connection) return false;
    ScopedInternetHandle request =
        OpenRequest(api, connection, nullptr, parts, inet::kWholeDownloadFlags);
    if (!request || !api.HttpSendRequestA || !api.InternetReadFile) return false;
    ApplyRequestTimeouts(api, request.Get(), timings);
    if (!api.HttpSendRequestA(request.Get(), nullptr, 0, nullptr, 0)) return false;
    const std::int32_t status = QueryStatusCode(api, request.Get());
    NoteRetryAfter(api, request.Get(), status, parts, pacing);
    if (status != 200) return false;
    std::int32_t total = 0;
    while (total < size) {
        Dword got = 0;
        Dword wanted = static_cast<Dword>(size - total);
        if (!ReadAvailable(api, request.Get(), buffer + total, wanted, &got) || got == 0) break;
        if (got > wanted) return false;  // a library that overran the buffer: nothing to trust
        total += static_cast<std::int32_t>(got);
    }
    return total == size;
}

std::string FormatInternetError(const WinInetApi& api, Dword code) {
    if (code == inet::kErrorInternetExtendedError) {
        if (!api.InternetGetLastResponseInfoA) return std::string();
        Dword error = 0;
        Dword length = 0;
        api.InternetGetLastResponseInfoA(&error, nullptr, &length);
        std::vector<char> text(static_cast<std::size_t>(length) + 1, '\0');
        length = static_cast<Dword>(text.size());
        api.InternetGetLastResponseInfoA(&error, text.data(), &length);
        text.back() = '\0';
        return std::string(text.data());
    }
    std::string text;
    if (FormatSystemMessage("wininet.dll", code, text)) return text;
    return "Error " + std::to_string(static_cast<int>(code)) + " from wininet.dll.";
}

}  // namespace zel
