// winsock2.h must come before windows.h, which would otherwise pull in the
// old winsock.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "support/test_socket.h"

namespace zel::test {

namespace {
SOCKET Fd(std::intptr_t fd) {
    return static_cast<SOCKET>(fd);
}

// WSAStartup counts its calls; every socket made here is preceded by one.
void StartWinsock() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
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
    StartWinsock();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s != INVALID_SOCKET) return static_cast<std::intptr_t>(s);
    WSACleanup();  // no socket will close to balance the start above
    return kInvalid;
}

bool TestSocket::ListenOnFreePort(std::uint16_t& port) const {
    sockaddr_in address = Loopback(0);
    if (bind(Fd(fd_), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return false;
    if (listen(Fd(fd_), 64) != 0) return false;
    int length = sizeof address;
    getsockname(Fd(fd_), reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return true;
}

bool TestSocket::Connect(std::uint16_t port) const {
    sockaddr_in address = Loopback(port);
    return connect(Fd(fd_), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

bool TestSocket::WaitReadable(int timeoutMs) const {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(Fd(fd_), &readable);
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &timeout) > 0;
}

TestSocket TestSocket::Accept() const {
    SOCKET s = accept(Fd(fd_), nullptr, nullptr);
    if (s == INVALID_SOCKET) return TestSocket();
    StartWinsock();  // balances the WSACleanup of this socket's Close
    return TestSocket(static_cast<std::intptr_t>(s));
}

int TestSocket::Receive(char* buffer, std::size_t size) const {
    return recv(Fd(fd_), buffer, static_cast<int>(size), 0);
}

long TestSocket::SendSome(const char* data, std::size_t size) const {
    return send(Fd(fd_), data, static_cast<int>(size), 0);
}

void TestSocket::ResetOnClose() const {
    linger option{1, 0};
    setsockopt(Fd(fd_), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&option),
               sizeof option);
}

void TestSocket::Close() {
    if (fd_ != kInvalid) {
        closesocket(Fd(fd_));
        WSACleanup();
    }
    fd_ = kInvalid;
}

}  // namespace zel::test
