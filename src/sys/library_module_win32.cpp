#include <windows.h>

#include "sys/library_module.h"

namespace zel {

bool LibraryModule::Load(const std::string& name) {
    Free();
    handle_ = reinterpret_cast<void*>(LoadLibraryA(name.c_str()));
    return handle_ != nullptr;
}

void* LibraryModule::FindExport(const char* name) const {
    if (!handle_) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void LibraryModule::Free() {
    if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = nullptr;
}

}  // namespace zel
