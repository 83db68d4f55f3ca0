#include <windows.h>

#include "sys/library_module.h"
#include "sys/win32_handles.h"

namespace zel {

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
    ScopedModule module(LoadLibraryA(name.c_str()));
    if (!module) return false;
    loaded_.reset(new Loaded{std::move(module)});
    return true;
}

void* LibraryModule::FindExport(const char* name) const {
    if (!loaded_) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(loaded_->module.Get(), name));
}

}  // namespace zel
