// A small blocking TCP socket for the tests' servers, loopback only.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel::test {

class TestSocket {
  public:
    TestSocket() = default;
    ~TestSocket() { Close(); }
    TestSocket(TestSocket&& other) noexcept : fd_(other.fd_) { other.fd_ = kInvalid; }
    TestSocket& operator=(TestSocket&& other) noexcept;
    TestSocket(const TestSocket&) = delete;
    TestSocket& operator=(const TestSocket&) = delete;

    // Listens on 127.0.0.1 at a free port chosen by the system.
    static TestSocket ListenOnLoopback(std::uint16_t& port);
    // Connects to 127.0.0.1:port (for tests that speak raw HTTP).
    static TestSocket ConnectToLoopback(std::uint16_t port);

    bool Valid() const { return fd_ != kInvalid; }
    // Waits up to timeoutMs for a connection or data; true when one is there.
    bool WaitReadable(int timeoutMs) const;
    TestSocket Accept() const;
    // Bytes received, 0 when the peer closed, -1 on error.
    int Receive(char* buffer, std::size_t size) const;
    bool SendAll(const char* data, std::size_t size) const;
    // Makes the next Close reset the connection instead of ending it cleanly.
    void ResetOnClose() const;
    void Close();

  private:
    static constexpr std::intptr_t kInvalid = -1;
    explicit TestSocket(std::intptr_t fd) : fd_(fd) {}

    // The system's halves; the rest is written once over them.
    // A TCP socket, or kInvalid.
    static std::intptr_t NewStreamSocket();
    // Binds to 127.0.0.1 at a free port, listens and tells the port.
    bool ListenOnFreePort(std::uint16_t& port) const;
    bool Connect(std::uint16_t port) const;
    // Bytes sent by one call, 0 or less on failure.
    long SendSome(const char* data, std::size_t size) const;

    std::intptr_t fd_ = kInvalid;
};

}  // namespace zel::test
