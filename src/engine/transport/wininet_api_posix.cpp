// The internet function table of the native build: the same entries as
// wininet.dll's, over libcurl. Sessions and connections only carry what a
// request needs (agent, host, port); the network is touched when a request
// is sent. InternetGetConnectedState stays unbound, so the machine counts as
// connected, as it does on Windows when the library lacks the function.
#include <curl/curl.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/transport/curl_transfer.h"
#include "engine/transport/wininet_api.h"
#include "sys/decimal_number.h"
#include "sys/last_error.h"
#include "sys/text.h"

namespace zel {

namespace {

constexpr std::uint32_t kHandleMark = 0x5A454C48;  // tells our handles from stray pointers

struct AdapterHandle {
    enum Kind { Session, Connection, Request };
    explicit AdapterHandle(Kind k) : kind(k) {}
    virtual ~AdapterHandle() { mark = 0; }
    std::uint32_t mark = kHandleMark;
    Kind kind;
};

struct SessionHandle : AdapterHandle {
    SessionHandle() : AdapterHandle(Session) {}
    std::string agent;
    std::string trustedCaFile;  // empty: the system's authorities
};

struct ConnectionHandle : AdapterHandle {
    ConnectionHandle() : AdapterHandle(Connection) {}
    std::string agent;
    std::string trustedCaFile;
    std::string host;
    InternetPort port = 0;
};

struct RequestHandle : AdapterHandle {
    RequestHandle() : AdapterHandle(Request) {}
    CurlTransfer::Request request;
    bool sent = false;
    CurlTransfer transfer;
};

template <typename T>
T* HandleAs(InternetHandle handle, AdapterHandle::Kind kind) {
    auto* base = static_cast<AdapterHandle*>(handle);
    if (!base || base->mark != kHandleMark || base->kind != kind) {
        SetLastSystemError(inet::kErrorInternetIncorrectHandleState);
        return nullptr;
    }
    return static_cast<T*>(base);
}

WinBool Fail(Dword error) {
    SetLastSystemError(error);
    return 0;
}

// As with the library, the request's secure flag, not the connection,
// decides between http and https.
std::string RequestUrl(const ConnectionHandle& connection, const char* objectName, bool secure) {
    std::string host = connection.host;
    if (host.find(':') != std::string::npos) host = "[" + host + "]";
    std::string object = objectName ? objectName : "";
    if (object.empty() || object[0] != '/') object.insert(0, "/");
    return (secure ? "https://" : "http://") + host + ":" + std::to_string(connection.port) +
           object;
}

InternetHandle ZEL_WINAPI OpenSession(const char* agent, Dword, const char*, const char*, Dword) {
    auto session = std::make_unique<SessionHandle>();
    session->agent = agent ? agent : "";
    return session.release();
}

InternetHandle ZEL_WINAPI Connect(InternetHandle sessionHandle, const char* serverName,
                                  InternetPort port, const char*, const char*, Dword service, Dword,
                                  DwordPtr) {
    auto* session = HandleAs<SessionHandle>(sessionHandle, AdapterHandle::Session);
    if (!session) return nullptr;
    if (!serverName || !*serverName || service != inet::kServiceHttp) {
        SetLastSystemError(inet::kErrorInvalidParameter);
        return nullptr;
    }
    auto connection = std::make_unique<ConnectionHandle>();
    connection->agent = session->agent;
    connection->trustedCaFile = session->trustedCaFile;
    connection->host = serverName;
    connection->port = port ? port : inet::kDefaultHttpPort;
    return connection.release();
}

InternetHandle ZEL_WINAPI OpenRequest(InternetHandle connectionHandle, const char* verb,
                                      const char* objectName, const char*, const char*,
                                      const char**, Dword flags, DwordPtr) {
    auto* connection = HandleAs<ConnectionHandle>(connectionHandle, AdapterHandle::Connection);
    if (!connection) return nullptr;
    std::string method = verb && *verb ? verb : "GET";
    if (method != "GET" && method != "HEAD") {
        SetLastSystemError(inet::kErrorInvalidParameter);
        return nullptr;
    }
    auto request = std::make_unique<RequestHandle>();
    request->request.secure = (flags & inet::kFlagSecure) != 0;
    request->request.trustedCaFile = connection->trustedCaFile;
    request->request.url = RequestUrl(*connection, objectName, request->request.secure);
    request->request.headOnly = method == "HEAD";
    request->request.userAgent = connection->agent;
    return request.release();
}

WinBool ZEL_WINAPI AddRequestHeaders(InternetHandle requestHandle, const char* headers,
                                     Dword headersLength, Dword) {
    auto* request = HandleAs<RequestHandle>(requestHandle, AdapterHandle::Request);
    if (!request) return 0;
    if (!headers || request->sent) return Fail(inet::kErrorInvalidParameter);
    std::string text = headersLength == static_cast<Dword>(-1)
                           ? std::string(headers)
                           : std::string(headers, headersLength);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (line.find(':') != std::string::npos) request->request.headers.push_back(line);
        start = end + 1;
    }
    return 1;
}

WinBool ZEL_WINAPI SendRequest(InternetHandle requestHandle, const char* headers,
                               Dword headersLength, void*, Dword) {
    auto* request = HandleAs<RequestHandle>(requestHandle, AdapterHandle::Request);
    if (!request) return 0;
    if (headers && headersLength && !AddRequestHeaders(requestHandle, headers, headersLength, 0))
        return 0;
    if (request->sent) return Fail(inet::kErrorInternetIncorrectHandleState);
    request->sent = true;
    std::uint32_t error = 0;
    if (!request->transfer.Send(request->request, error)) return Fail(error);
    return 1;
}

bool HeaderTextOf(const RequestHandle& request, Dword level, std::string& text) {
    switch (level) {
        case inet::kQueryStatusCode:
            text = std::to_string(request.transfer.Status());
            return true;
        case inet::kQueryContentLength:
            return request.transfer.FindHeader("Content-Length", text);
        case inet::kQueryContentRange:
            return request.transfer.FindHeader("Content-Range", text);
        case inet::kQueryRetryAfter:
            return request.transfer.FindHeader("Retry-After", text);
        default:
            return false;
    }
}

WinBool ZEL_WINAPI QueryInfo(InternetHandle requestHandle, Dword infoLevel, void* buffer,
                             Dword* bufferLength, Dword*) {
    auto* request = HandleAs<RequestHandle>(requestHandle, AdapterHandle::Request);
    if (!request) return 0;
    if (!request->sent) return Fail(inet::kErrorInternetIncorrectHandleState);
    if (!bufferLength) return Fail(inet::kErrorInvalidParameter);
    std::string text;
    if (!HeaderTextOf(*request, infoLevel & inet::kQueryLevelMask, text))
        return Fail(inet::kErrorHttpHeaderNotFound);
    if (infoLevel & inet::kQueryFlagNumber) {
        // The library's FLAG_NUMBER reading: a 32-bit unsigned decimal;
        // anything that is not one is refused rather than wrapped.
        std::uint64_t number = 0;
        if (!ParseDecimal(text, 0xFFFFFFFFu, number)) return Fail(inet::kErrorHttpHeaderNotFound);
        const Dword value = static_cast<Dword>(number);
        if (!buffer || *bufferLength < sizeof(Dword)) {
            *bufferLength = sizeof(Dword);
            return Fail(inet::kErrorInsufficientBuffer);
        }
        std::memcpy(buffer, &value, sizeof value);
        *bufferLength = sizeof value;
        return 1;
    }
    if (!buffer || *bufferLength < text.size() + 1) {
        *bufferLength = static_cast<Dword>(text.size() + 1);
        return Fail(inet::kErrorInsufficientBuffer);
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    *bufferLength = static_cast<Dword>(text.size());
    return 1;
}

WinBool ZEL_WINAPI ReadFile(InternetHandle requestHandle, void* buffer, Dword bytesToRead,
                            Dword* bytesRead) {
    if (bytesRead) *bytesRead = 0;
    auto* request = HandleAs<RequestHandle>(requestHandle, AdapterHandle::Request);
    if (!request) return 0;
    if (!bytesRead || (!buffer && bytesToRead)) return Fail(inet::kErrorInvalidParameter);
    if (!request->sent) return Fail(inet::kErrorInternetIncorrectHandleState);
    std::size_t count = 0;
    std::uint32_t error = 0;
    if (!request->transfer.Read(static_cast<char*>(buffer), bytesToRead, count, error))
        return Fail(error);
    *bytesRead = static_cast<Dword>(count);
    return 1;
}

WinBool ZEL_WINAPI QueryDataAvailable(InternetHandle requestHandle, Dword* bytesAvailable, Dword,
                                      DwordPtr) {
    if (bytesAvailable) *bytesAvailable = 0;
    auto* request = HandleAs<RequestHandle>(requestHandle, AdapterHandle::Request);
    if (!request) return 0;
    if (!bytesAvailable) return Fail(inet::kErrorInvalidParameter);
    if (!request->sent) return Fail(inet::kErrorInternetIncorrectHandleState);
    std::size_t count = 0;
    std::uint32_t error = 0;
    if (!request->transfer.Available(count, error)) return Fail(error);
    *bytesAvailable = static_cast<Dword>(count);
    return 1;
}

WinBool ZEL_WINAPI SetOption(InternetHandle handle, Dword option, void* buffer,
                             Dword bufferLength) {
    if (!handle) return 1;  // the global connected state: this build is always online
    if (option == inet::kOptionNativeTrustedCaFile) {
        auto* session = HandleAs<SessionHandle>(handle, AdapterHandle::Session);
        if (!session) return 0;
        if (!buffer) return Fail(inet::kErrorInvalidParameter);
        session->trustedCaFile.assign(static_cast<const char*>(buffer),
                                      strnlen(static_cast<const char*>(buffer), bufferLength));
        return 1;
    }
    auto* request = HandleAs<RequestHandle>(handle, AdapterHandle::Request);
    if (!request) return 0;
    if (!buffer || bufferLength < sizeof(Dword)) return Fail(inet::kErrorInvalidParameter);
    Dword value = 0;
    std::memcpy(&value, buffer, sizeof value);
    switch (option) {
        case inet::kOptionConnectTimeout:
            request->request.connectTimeoutMs = value;
            break;
        case inet::kOptionReceiveTimeout:
        case inet::kOptionDataReceiveTimeout:
            request->request.receiveTimeoutMs = value;
            break;
        default:  // retries and send time-outs: curl sends in one go and retries addresses itself
            break;
    }
    return 1;
}

WinBool ZEL_WINAPI CloseHandle(InternetHandle handle) {
    auto* base = static_cast<AdapterHandle*>(handle);
    if (!base || base->mark != kHandleMark) return Fail(inet::kErrorInternetIncorrectHandleState);
    delete base;
    return 1;
}

WinBool ZEL_WINAPI LastResponseInfo(Dword* error, char* buffer, Dword* bufferLength) {
    // curl keeps no text of the server's last answer; report an empty one.
    if (error) *error = 0;
    if (!bufferLength) return Fail(inet::kErrorInvalidParameter);
    if (buffer && *bufferLength > 0) buffer[0] = '\0';
    *bufferLength = 0;
    return 1;
}

int SchemeNumber(const std::string& scheme) {
    static const char* const kSchemes[] = {"ftp",  "gopher", "http",  "https",
                                           "file", "news",   "mailto"};
    for (int i = 0; i < 7; ++i) {
        if (SameTextNoCase(scheme, kSchemes[i])) return i + 1;
    }
    return -1;  // INTERNET_SCHEME_UNKNOWN
}

// Copies one piece into the caller's buffer as the library does: the
// length in, the length of the text out; false when it does not fit.
bool PutComponent(const std::string& text, char* buffer, Dword& length) {
    if (!buffer) return true;  // the caller did not ask for this piece
    if (text.size() + 1 > length) return false;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    length = static_cast<Dword>(text.size());
    return true;
}

std::string UrlPart(CURLU* url, CURLUPart part, unsigned flags = 0) {
    char* value = nullptr;
    if (curl_url_get(url, part, &value, flags) != CURLUE_OK || !value) return std::string();
    std::string text = value;
    curl_free(value);
    return text;
}

WinBool ZEL_WINAPI CrackUrl(const char* urlText, Dword urlLength, Dword,
                            UrlComponents* components) {
    if (!urlText || !components) return Fail(inet::kErrorInvalidParameter);
    std::string text = urlLength ? std::string(urlText, urlLength) : std::string(urlText);
    std::unique_ptr<CURLU, void (*)(CURLU*)> url(curl_url(), curl_url_cleanup);
    if (!url || curl_url_set(url.get(), CURLUPART_URL, text.c_str(), CURLU_NON_SUPPORT_SCHEME) !=
                    CURLUE_OK) {
        return Fail(inet::kErrorInternetInvalidUrl);
    }
    std::string scheme = UrlPart(url.get(), CURLUPART_SCHEME);
    std::string host = UrlPart(url.get(), CURLUPART_HOST);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    std::string port = UrlPart(url.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
    std::string extra;
    std::string query = UrlPart(url.get(), CURLUPART_QUERY);
    std::string fragment = UrlPart(url.get(), CURLUPART_FRAGMENT);
    if (!query.empty() || text.find('?') != std::string::npos) extra = "?" + query;
    if (!fragment.empty()) extra += "#" + fragment;

    UrlComponents& c = *components;
    c.schemeNumber = SchemeNumber(scheme);
    c.port = static_cast<InternetPort>(std::atoi(port.c_str()));
    bool fits =
        PutComponent(scheme, c.scheme, c.schemeLength) &&
        PutComponent(host, c.hostName, c.hostNameLength) &&
        PutComponent(UrlPart(url.get(), CURLUPART_USER), c.userName, c.userNameLength) &&
        PutComponent(UrlPart(url.get(), CURLUPART_PASSWORD), c.password, c.passwordLength) &&
        PutComponent(UrlPart(url.get(), CURLUPART_PATH), c.urlPath, c.urlPathLength) &&
        PutComponent(extra, c.extraInfo, c.extraInfoLength);
    return fits ? 1 : Fail(inet::kErrorInsufficientBuffer);
}

}  // namespace

void BindWinInet(WinInetApi& api) {
    // Before any worker thread exists: older libcurl initialises itself
    // lazily and not thread-safely. Counted by libcurl; never undone, as
    // wininet.dll stays mapped in the Windows build too.
    curl_global_init(CURL_GLOBAL_DEFAULT);
    api.InternetGetConnectedState = nullptr;
    api.InternetCloseHandle = &CloseHandle;
    api.InternetGetLastResponseInfoA = &LastResponseInfo;
    api.HttpSendRequestA = &SendRequest;
    api.HttpQueryInfoA = &QueryInfo;
    api.HttpOpenRequestA = &OpenRequest;
    api.HttpAddRequestHeadersA = &AddRequestHeaders;
    api.InternetConnectA = &Connect;
    api.InternetReadFile = &ReadFile;
    api.InternetCrackUrlA = &CrackUrl;
    api.InternetOpenA = &OpenSession;
    api.InternetSetOptionA = &SetOption;
    api.InternetQueryDataAvailable = &QueryDataAvailable;
}

}  // namespace zel
