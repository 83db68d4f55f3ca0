// The program's own registry key, HKEY_LOCAL_MACHINE\Software\Quorvane\ZEL3,
// opened (or created) for writing text values. Windows only.
#pragma once

#include <windows.h>

#include <string>

#include "sys/win32_handles.h"

namespace zel {

inline constexpr char kProgramKeyPath[] = "Software\\Quorvane\\ZEL3";

class CRegistry {
  public:
    explicit CRegistry(REGSAM access = KEY_READ | KEY_WRITE) : access_(access) {}

    // Opens the key; creates it when it is missing, unless the access is
    // read-only. False when neither can be done (for instance without the
    // right to write below HKEY_LOCAL_MACHINE).
    bool OpenOrCreate();
    // Writes a REG_SZ value, its terminating zero counted in the length.
    bool WriteString(const char* name, const std::string& text);
    void Close() { keyHandle_.Reset(); }

    bool IsOpen() const { return keyHandle_.IsValid(); }
    REGSAM access() const { return access_; }
    const std::string& keyPath() const { return keyPath_; }

  private:
    REGSAM access_;
    ScopedRegistryKey keyHandle_;
    std::string keyPath_;
};

}  // namespace zel
