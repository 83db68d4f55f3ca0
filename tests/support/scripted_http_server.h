// A one-connection-at-a-time HTTP server on 127.0.0.1 whose every answer is
// written by the test, raw: for answers no well-behaved server gives (a 206
// for another range, of another size). Each answer ends its connection.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/test_socket.h"

namespace zel::test {

class ScriptedHttpServer {
  public:
    // Given the Range header's value (empty when none), the whole answer.
    using Script = std::function<std::string(const std::string& range)>;

    explicit ScriptedHttpServer(Script script);
    ~ScriptedHttpServer();
    ScriptedHttpServer(const ScriptedHttpServer&) = delete;
    ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

    std::string Url(const std::string& path) const;
    // The Range values of the requests so far, in order.
    std::vector<std::string> Ranges() const;

    // "HTTP/1.1 <status>" with the given extra header lines and body.
    static std::string Answer(const std::string& status, const std::string& headers,
                              const std::string& body);

  private:
    void Run();
    void ServeOne(const TestSocket& connection);

    Script script_;
    TestSocket listener_;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> ranges_;
    std::thread thread_;
};

}  // namespace zel::test
