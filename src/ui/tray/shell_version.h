// Which shell the program runs on: balloon messages on notification-area
// icons need shell32.dll version 5 or later. Windows only.
#pragma once

#include <windows.h>
// shlwapi.h for the DLLVERSIONINFO record and the DllGetVersion signature
// only; nothing is linked from shlwapi.dll.
#include <shlwapi.h>

#include <string>

#include "sys/win32_handles.h"

namespace zel {

// One module, found already loaded (and then left loaded) or loaded here
// (and then freed), with the version record its DllGetVersion reports.
class CModuleHandle {
  public:
    enum Origin { kNone = 0, kFoundLoaded = 1, kLoadedHere = 2 };

    // Opens shell32.dll.
    CModuleHandle();
    explicit CModuleHandle(const std::string& name);
    ~CModuleHandle() { Release(); }
    CModuleHandle(const CModuleHandle&) = delete;
    CModuleHandle& operator=(const CModuleHandle&) = delete;

    // Releases what is held, then takes the named module; false when the
    // module can be neither found nor loaded.
    bool Open(const std::string& name);
    void Release();

    // (major << 16) | minor of the module's DllGetVersion, read once; zero
    // when the module or its export is missing.
    DWORD QueryDllVersion();

    HMODULE Handle() const { return origin_ == kLoadedHere ? loaded_.Get() : found_; }
    Origin origin() const { return origin_; }
    const std::string& name() const { return name_; }

  private:
    std::string name_;
    HMODULE found_ = nullptr;
    ScopedModule loaded_;
    Origin origin_ = kNone;
    DLLVERSIONINFO version_ = {};
};

// True when the shell shows balloon messages (shell32.dll 5.0 or later).
// Asked once per process.
bool ShellSupportsBalloons();

}  // namespace zel
