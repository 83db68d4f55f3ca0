#include "support/test_socket.h"

namespace zel::test {

TestSocket& TestSocket::operator=(TestSocket&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        other.fd_ = kInvalid;
    }
    return *this;
}

TestSocket TestSocket::ListenOnLoopback(std::uint16_t& port) {
    TestSocket listener(NewStreamSocket());
    if (!listener.Valid() || !listener.ListenOnFreePort(port)) return TestSocket();
    return listener;
}

TestSocket TestSocket::ConnectToLoopback(std::uint16_t port) {
    TestSocket connection(NewStreamSocket());
    if (!connection.Valid() || !connection.Connect(port)) return TestSocket();
    return connection;
}

bool TestSocket::SendAll(const char* data, std::size_t size) const {
    while (size > 0) {
        long sent = SendSome(data, size);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

}  // namespace zel::test
