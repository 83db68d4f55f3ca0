// Everything the program does over HTTP, written once above the function
// table: splitting URLs, asking a server for a size, fetching a small file
// whole, and the request and connection handles' owners. Nothing here
// retries; callers own their retry policy.
#pragma once

#include <cstdint>
#include <string>

#include "engine/timings.h"
#include "engine/transport/wininet_api.h"

namespace zel {

class ServerPacing;
struct Timings;

// Closes one internet handle through the table when it goes out of scope.
// Requests must be released before their connection: declare the connection
// first so that it is destroyed last.
class ScopedInternetHandle {
  public:
    ScopedInternetHandle() = default;
    ScopedInternetHandle(const WinInetApi& api, InternetHandle handle)
        : api_(&api), handle_(handle) {}
    ~ScopedInternetHandle() { Close(); }
    ScopedInternetHandle(ScopedInternetHandle&& other) noexcept
        : api_(other.api_), handle_(other.Release()) {}
    ScopedInternetHandle& operator=(ScopedInternetHandle&& other) noexcept;
    ScopedInternetHandle(const ScopedInternetHandle&) = delete;
    ScopedInternetHandle& operator=(const ScopedInternetHandle&) = delete;

    InternetHandle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    InternetHandle Release();
    void Close();

  private:
    const WinInetApi* api_ = nullptr;
    InternetHandle handle_ = nullptr;
};

// True when the system reports a modem or LAN connection. Callers test first
// whether the entry is bound: an unbound entry counts as connected.
bool IsInternetConnected(const WinInetApi& api);

// True when the entry is missing or reports a connection.
bool CountsAsConnected(const WinInetApi& api);

// Splits a URL with the library's own rules; false when it refuses it.
bool CrackUrl(const WinInetApi& api, const std::string& url, UrlParts& parts);

// True for the two schemes a request goes out with: http, and https, whose
// server the library checks (certificate chain, host name) before a byte of
// the answer counts.
bool IsWebScheme(const UrlParts& parts);

// Connection to the URL's host and port over the shared session; empty on
// failure or when the table lacks the entry.
ScopedInternetHandle ConnectToHost(const WinInetApi& api, InternetHandle session,
                                   const UrlParts& parts);

// A request for the URL's object name; verb null means the library's GET.
// An https URL's request goes out over TLS whatever flags the caller gives.
ScopedInternetHandle OpenRequest(const WinInetApi& api, const ScopedInternetHandle& connection,
                                 const char* verb, const UrlParts& parts, Dword flags);

// Connect retries and the five time-outs, on one request handle.
void ApplyRequestTimeouts(const WinInetApi& api, InternetHandle request, const Timings& timings);

// Reads at most wanted bytes of the answer, no more than have arrived: it
// waits only until some are there (or the answer ends, read 0), so that a
// stall longer than the receive time-out loses only the bytes not yet
// received. False when the transfer broke off or fell silent.
bool ReadAvailable(const WinInetApi& api, InternetHandle request, char* buffer, Dword wanted,
                   Dword* read);

// The HTTP status of a sent request, or -1 when it cannot be read.
std::int32_t QueryStatusCode(const WinInetApi& api, InternetHandle request);

// A numeric header of a sent request that must fit the signed 32-bit sizes
// of the program: -1 when missing, unreadable, or 2 GiB and more.
std::int32_t QueryNumberHeader(const WinInetApi& api, InternetHandle request, Dword level);

// A header of a sent request as raw text; false when the answer lacks it.
bool QueryTextHeader(const WinInetApi& api, InternetHandle request, Dword level, std::string& text);

// "host:port" of a URL's parts: what a server's Retry-After is kept under.
std::string HostKey(const UrlParts& parts);

// A 503 or 429 answer's Retry-After, noted for the request's host in pacing
// (when there is one); any other answer leaves it alone.
void NoteRetryAfter(const WinInetApi& api, InternetHandle request, std::int32_t status,
                    const UrlParts& parts, ServerPacing* pacing);

// The size of an http or https resource by a HEAD request: the
// Content-Length of a 200 answer, else -1 (any other status, no length,
// another scheme, no connection, a server certificate that fails its check).
// A server asking for quiet has it noted in pacing. The request has the
// time-outs of timings, as every other request has: a server that accepts
// the connection and never answers costs a pass, not the program.
std::int32_t QueryRemoteSize(const WinInetApi& api, InternetHandle session, const std::string& url,
                             ServerPacing* pacing = nullptr, const Timings& timings = Timings());

// GETs the resource into buffer; true only when exactly size bytes arrived.
// Bytes beyond size are never read.
bool DownloadToBuffer(const WinInetApi& api, InternetHandle session, const Timings& timings,
                      const std::string& url, std::int32_t size, char* buffer,
                      ServerPacing* pacing = nullptr);

// The text for an internet library error code.
std::string FormatInternetError(const WinInetApi& api, Dword code);

}  // namespace zel
