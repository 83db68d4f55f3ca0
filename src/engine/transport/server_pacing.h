// What the servers of a download have asked for: per host, a time before
// which nothing more is asked of it, from the Retry-After of a 503 or 429
// answer. It only ever lengthens a wait that a retry loop chose itself.
// Any thread may note and read.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace zel {

class ServerPacing {
  public:
    // secondMs: the length of one of the server's seconds (tests shrink it);
    // capMs: the longest wait honoured, whatever the server writes.
    ServerPacing(unsigned secondMs, unsigned capMs) : secondMs_(secondMs), capMs_(capMs) {}

    // The host (as "host:port") asked for `seconds` of quiet from now on.
    void NoteRetryAfter(const std::string& host, std::int64_t seconds);
    // What is left of the quiet the host asked for; 0 when none.
    unsigned WaitMs(const std::string& host) const;

  private:
    using Clock = std::chrono::steady_clock;
    const unsigned secondMs_;
    const unsigned capMs_;
    mutable std::mutex lock_;
    std::map<std::string, Clock::time_point> quietUntil_;
};

}  // namespace zel
