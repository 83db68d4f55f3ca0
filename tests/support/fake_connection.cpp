#include "support/fake_connection.h"

#include <atomic>

namespace zel::test {

namespace {

// A plain function pointer goes into the table, so the switch it reads
// cannot live in the object.
std::atomic<bool> machineOnline{true};

WinBool ZEL_WINAPI FakeConnectedState(Dword* flags, Dword /*reserved*/) {
    const bool online = machineOnline.load();
    if (flags != nullptr) *flags = online ? inet::kConnectionLan : 0;
    return online ? 1 : 0;
}

}  // namespace

FakeConnection::FakeConnection() {
    machineOnline = true;
}

FakeConnection::~FakeConnection() {
    machineOnline = true;
}

void FakeConnection::SetOnline(bool online) {
    machineOnline = online;
}

bool FakeConnection::IsOnline() const {
    return machineOnline;
}

WinInetBinder FakeConnection::Binder() const {
    return [](WinInetApi& api) {
        BindWinInet(api);
        api.InternetGetConnectedState = &FakeConnectedState;
    };
}

}  // namespace zel::test
