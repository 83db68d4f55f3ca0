// An in-process HTTP/1.1 server on a free 127.0.0.1 port, for tests that
// need a real peer. It serves given bytes under given paths and can, per
// path, misbehave on request.
//
//   FixtureServer server;                      // listening once constructed
//   server.Serve("/zelv3.xml", manifestText);
//   FixtureServer::Faults slow; slow.delayMs = 2000;
//   server.Serve("/setup.exe", packageBytes, slow);
//   ... QueryRemoteSize(api, session, server.Url("/setup.exe")) ...
//   server.Requests()                          // what the clients asked for
//
// What it answers:
// - HEAD: the headers of a GET, with Content-Length, without a body.
// - GET: 200 with the whole body; with "Range: bytes=a-b" (or "a-") 206 and
//   "Content-Range: bytes a-b/total"; a range starting beyond the end: 416.
// - an unknown path: 404.
// Connections are kept alive between requests unless a fault ends them.
// Bodies are shared, never copied per request, so large files are cheap.
// The destructor stops the server and joins every thread it started.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/test_socket.h"

namespace zel::test {

// What several answers share, as the connections of one mirror do: a rate
// for all of them together, a point after which the mirror falls silent,
// and a count of the body bytes it sent.
class MirrorPace {
  public:
    // bytesPerSecond 0: no shared cap; silentAfterBytes < 0: never silent.
    explicit MirrorPace(double bytesPerSecond = 0, long long silentAfterBytes = -1)
        : bytesPerSecond_(bytesPerSecond), silentAfterBytes_(silentAfterBytes) {}
    // Books count bytes: false when the mirror has fallen silent, else the
    // moment they may go.
    bool Book(std::size_t count, std::chrono::steady_clock::time_point* at);
    long long BytesSent() const;

  private:
    const double bytesPerSecond_;
    const long long silentAfterBytes_;
    mutable std::mutex mutex_;
    std::chrono::steady_clock::time_point next_{};
    long long sent_ = 0;
};

// How the server misbehaves for one path (all off by default).
struct ServeFaults {
    int status = 0;                 // answer with this status (and the body) instead
    bool noContentLength = false;   // no Content-Length; the body ends when the connection does
    std::string contentLength;      // announce this raw Content-Length text instead
    long long cutBodyAt = -1;       // send only this many body bytes, then close cleanly
    long long dropAfterBytes = -1;  // send this many body bytes, then reset the connection
    bool ignoreRange = false;       // answer a ranged GET with 200 and the whole body
    unsigned delayMs = 0;           // wait this long before answering
    std::size_t burstBytes = 0;     // send the body in bursts of this many bytes...
    unsigned burstGapMs = 0;        // ...falling silent this long between them
    std::string redirectTo;         // answer 302 with this Location
    // Send this many body bytes, then fall silent until the server stops.
    long long stallAfterBytes = -1;
    std::string retryAfter;     // a Retry-After header with this text
    bool unknownTotal = false;  // a 206's Content-Range ends in "/*"
    std::string contentRange;   // this Content-Range text instead of the true one
    // Each answer's body at most this fast (0: as fast as the line), and
    // shared with every answer that carries the same pace.
    double bytesPerSecond = 0;
    std::shared_ptr<MirrorPace> mirror;
};

class FixtureServer {
  public:
    using Faults = ServeFaults;

    struct Request {
        std::string method;
        std::string path;   // the request target as sent: path and query
        std::string range;  // the Range header's value, empty when none
        std::string userAgent;
        std::string headers;                       // every header line as received
        std::chrono::steady_clock::time_point at;  // when its head had arrived
    };

    FixtureServer();
    ~FixtureServer();
    FixtureServer(const FixtureServer&) = delete;
    FixtureServer& operator=(const FixtureServer&) = delete;

    bool Listening() const { return listener_.Valid(); }
    std::uint16_t Port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by path.
    std::string Url(const std::string& path) const;

    // Serves body under path (a path with its query, exactly as requested).
    // The first requests of the path take their faults from `first`, one
    // each, in order; the rest take `faults`.
    void Serve(const std::string& path, std::string body, const Faults& faults = Faults(),
               std::vector<Faults> first = {});
    void Remove(const std::string& path);

    std::vector<Request> Requests() const;
    std::size_t RequestCount() const;
    void ClearRequests();

    // Stops accepting, ends every connection and joins the threads.
    void Stop();

  private:
    struct Resource {
        std::shared_ptr<const std::string> body;
        Faults faults;
        std::vector<Faults> first;  // still to come, in order
        std::size_t firstTaken = 0;
    };

    void AcceptLoop();
    void ServeConnection(TestSocket connection);
    // False when the connection must end after this answer.
    bool Answer(const TestSocket& connection, const Request& request);
    bool Pause(unsigned ms) const;

    TestSocket listener_;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;  // guards everything below
    std::map<std::string, Resource> resources_;
    std::vector<Request> requests_;
    std::vector<std::thread> connectionThreads_;
    std::thread acceptThread_;
};

}  // namespace zel::test
