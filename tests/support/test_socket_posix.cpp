#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/test_socket.h"

namespace zel::test {

namespace {
int Fd(std::intptr_t fd) {
    return static_cast<int>(fd);
}

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}
}  // namespace

std::intptr_t TestSocket::NewStreamSocket() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd < 0 ? kInvalid : fd;
}

bool TestSocket::ListenOnFreePort(std::uint16_t& port) const {
    int yes = 1;
    setsockopt(Fd(fd_), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address = Loopback(0);
    if (bind(Fd(fd_), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return false;
    if (listen(Fd(fd_), 64) != 0) return false;
    socklen_t length = sizeof address;
    getsockname(Fd(fd_), reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return true;
}

bool TestSocket::Connect(std::uint16_t port) const {
    sockaddr_in address = Loopback(port);
    return connect(Fd(fd_), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

bool TestSocket::WaitReadable(int timeoutMs) const {
    pollfd entry{Fd(fd_), POLLIN, 0};
    return poll(&entry, 1, timeoutMs) > 0;
}

TestSocket TestSocket::Accept() const {
    int fd = accept4(Fd(fd_), nullptr, nullptr, SOCK_CLOEXEC);
    return fd < 0 ? TestSocket() : TestSocket(fd);
}

int TestSocket::Receive(char* buffer, std::size_t size) const {
    return static_cast<int>(recv(Fd(fd_), buffer, size, 0));
}

long TestSocket::SendSome(const char* data, std::size_t size) const {
    // MSG_NOSIGNAL: a client that hung up must not kill the test program.
    return static_cast<long>(send(Fd(fd_), data, size, MSG_NOSIGNAL));
}

void TestSocket::ResetOnClose() const {
    linger option{1, 0};
    setsockopt(Fd(fd_), SOL_SOCKET, SO_LINGER, &option, sizeof option);
}

void TestSocket::Close() {
    if (fd_ != kInvalid) close(Fd(fd_));
    fd_ = kInvalid;
}

}  // namespace zel::test
