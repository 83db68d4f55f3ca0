#include <windows.h>

#include "sys/bound_function.h"
#include "sys/library_module.h"
#include "sys/win32_handles.h"

namespace zel {

namespace {

// From Windows 8 (and update KB2533623 of Windows 7); the program runs on
// older systems, so the function is looked up at run time. MinGW's header
// declares it whatever the target version.
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
ZEL_ASSERT_BINDS_AS(SetDefaultDllDirectoriesFn, SetDefaultDllDirectories);
// The check itself: on i686 it tells a missing WINAPI from the real thing.
static_assert(sizeof(void*) == 8 ||
                  !kBindsAs<BOOL (*)(DWORD), decltype(&::SetDefaultDllDirectories)>,
              "the calling-convention check no longer sees a missing WINAPI");

// The system folder followed by the name; empty when the folder is unknown.
std::string SystemFolderPath(const std::string& name) {
    char folder[MAX_PATH];
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::string();
    return std::string(folder, length) + "\\" + name;
}

}  // namespace

bool RestrictLibrarySearch() {
    // kernel32 is mapped into every process before its first instruction.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return false;
    const auto restrict = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    return restrict&& restrict(kSearchSystem32);
}

struct LibraryModule::Loaded {
    ScopedModule module;
};

LibraryModule::LibraryModule() = default;

LibraryModule::~LibraryModule() = default;

void LibraryModule::Free() {
    loaded_.reset();
}

bool LibraryModule::Load(const std::string& name) {
    Free();
    ScopedModule module(LoadLibraryExA(name.c_str(), nullptr, kSearchSystem32));
    if (!module) {
        // A system that does not know the flag refuses it: the full path then,
        // with the library's own imports looked for beside it first.
        const std::string path = SystemFolderPath(name);
        if (!path.empty())
            module.Reset(LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    }
    if (!module) return false;
    loaded_.reset(new Loaded{std::move(module)});
    return true;
}

void* LibraryModule::FindExport(const char* name) const {
    if (!loaded_) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(loaded_->module.Get(), name));
}

}  // namespace zel
