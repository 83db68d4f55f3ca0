// One HTTP exchange over libcurl, driven by the caller: Send returns once
// the final answer's status line and headers are in, and Read pulls the body
// piece by piece (a paused write callback keeps curl from running ahead).
// The native internet adapters build their request handles on it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zel {

class CurlTransfer {
  public:
    struct Request {
        std::string url;
        bool headOnly = false;
        std::string userAgent;
        std::vector<std::string> headers;  // "Name: value"
        unsigned connectTimeoutMs = 60000;
        unsigned receiveTimeoutMs = 30000;  // longest silence while waiting for data
    };

    CurlTransfer();
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    // False with an internet error code when no answer arrived.
    bool Send(const Request& request, std::uint32_t& error);
    int Status() const { return status_; }
    // The value of a header of the final answer (name in any case).
    bool FindHeader(const std::string& name, std::string& value) const;
    // Up to size bytes of the body; count 0 means the body has ended (also
    // when it ended before its announced length). False with an internet
    // error code when the transfer broke off or fell silent.
    bool Read(char* buffer, std::size_t size, std::size_t& count, std::uint32_t& error);

  private:
    using Clock = std::chrono::steady_clock;

    static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* self);
    void TakeHeaderLine(std::string line);
    // Runs curl once and, unless what the caller waits for (headers, or body
    // bytes) is there, waits briefly for the socket; false on silence longer
    // than the allowance.
    bool Pump(unsigned silenceAllowanceMs, bool wantBody);
    std::size_t PendingSize() const { return pending_.size() - pendingStart_; }

    void* easy_ = nullptr;   // CURL*
    void* multi_ = nullptr;  // CURLM*
    void* headerList_ = nullptr;
    Request request_;
    int status_ = 0;
    bool locationSeen_ = false;
    bool headersDone_ = false;
    bool finished_ = false;
    int curlResult_ = 0;
    bool paused_ = false;
    std::vector<std::pair<std::string, std::string>> headers_;
    std::string pending_;
    std::size_t pendingStart_ = 0;
    Clock::time_point lastActivity_;
};

}  // namespace zel
