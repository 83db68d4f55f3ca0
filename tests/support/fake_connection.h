// The machine's connection as the internet table reports it, switched by the
// test: the one part of a session that cannot be had for real. The rest of
// the table stays the real binding.
#pragma once

#include "engine/download_engine.h"

namespace zel::test {

class FakeConnection {
  public:
    // Starts online; the table entry reads the switch of the live instance.
    FakeConnection();
    ~FakeConnection();
    FakeConnection(const FakeConnection&) = delete;
    FakeConnection& operator=(const FakeConnection&) = delete;

    void SetOnline(bool online);
    bool IsOnline() const;

    // Binds the real table, then puts the switch in place of the system's
    // connected-state function.
    WinInetBinder Binder() const;
};

}  // namespace zel::test
