// One HTTP exchange over libcurl, driven by the caller: Send returns once
// the final answer's status line and headers are in, and Read pulls the body
// piece by piece. Body bytes go straight into the reader's buffer; what does
// not fit waits in a spill of at most one of curl's pieces, and while it
// waits a paused write callback keeps curl from running ahead, so a transfer
// holds no more body bytes than that one piece beyond the reader's buffer.
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
        // https: the server's certificate must chain to a trusted authority
        // and name the URL's host, or the exchange fails before its answer.
        bool secure = false;
        std::string trustedCaFile;  // tests only; empty: the system's authorities
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
    // Waits until body bytes have arrived or the body has ended; count is
    // how many a Read would hand over at once (0: the end). False as Read.
    bool Available(std::size_t& count, std::uint32_t& error);

  private:
    using Clock = std::chrono::steady_clock;

    static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* self);
    void TakeHeaderLine(std::string line);
    // Runs curl once and, unless what the caller waits for (headers, or body
    // bytes) is there, waits briefly for the socket; false on silence longer
    // than the allowance.
    bool Pump(unsigned silenceAllowanceMs, bool wantBody);
    // Copies body bytes into the reader's buffer; the rest goes to the spill.
    void TakeBody(const char* data, std::size_t size);
    // Moves spilled bytes into the reader's buffer, as many as fit.
    void DrainSpill();
    std::size_t SpillSize() const { return spill_.size() - spillStart_; }

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
    // The reader's buffer while a Read runs, else null.
    char* target_ = nullptr;
    std::size_t targetSize_ = 0;
    std::size_t targetFilled_ = 0;
    std::string spill_;  // the part of one curl piece that did not fit
    std::size_t spillStart_ = 0;
    Clock::time_point lastActivity_;
};

}  // namespace zel
