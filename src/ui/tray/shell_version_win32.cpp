#include "ui/tray/shell_version.h"

namespace zel {

namespace {

constexpr char kShellModule[] = "shell32.dll";
constexpr DWORD kFirstBalloonShellMajor = 5;

bool AskShellForBalloonSupport() {
    CModuleHandle shell(kShellModule);
    return (shell.QueryDllVersion() >> 16) >= kFirstBalloonShellMajor;
}

}  // namespace

CModuleHandle::CModuleHandle() : CModuleHandle(kShellModule) {}

CModuleHandle::CModuleHandle(const std::string& name) {
    Open(name);
}

bool CModuleHandle::Open(const std::string& name) {
    version_ = {};
    Release();
    if (HMODULE module = GetModuleHandleA(name.c_str())) {
        found_ = module;
        origin_ = kFoundLoaded;
    } else if (HMODULE loaded = LoadLibraryA(name.c_str())) {
        loaded_.Reset(loaded);
        origin_ = kLoadedHere;
    } else {
        return false;
    }
    name_ = name;
    return true;
}

void CModuleHandle::Release() {
    loaded_.Reset();
    found_ = nullptr;
    origin_ = kNone;
    name_.clear();
}

DWORD CModuleHandle::QueryDllVersion() {
    if (version_.cbSize == 0 && Handle()) {
        version_.cbSize = sizeof(version_);
        const auto getVersion = reinterpret_cast<DLLGETVERSIONPROC>(
            reinterpret_cast<void*>(GetProcAddress(Handle(), "DllGetVersion")));
        if (getVersion) getVersion(&version_);
    }
    return (version_.dwMajorVersion << 16) | (version_.dwMinorVersion & 0xFFFF);
}

bool ShellSupportsBalloons() {
    // The shell does not change under a running program: one answer for the
    // process, computed on first use and never written again.
    static const bool supported = AskShellForBalloonSupport();
    return supported;
}

}  // namespace zel
