#include <dlfcn.h>

#include "sys/library_module.h"

namespace zel {

bool LibraryModule::Load(const std::string& name) {
    Free();
    handle_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    return handle_ != nullptr;
}

void* LibraryModule::FindExport(const char* name) const {
    return handle_ ? dlsym(handle_, name) : nullptr;
}

void LibraryModule::Free() {
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
}

}  // namespace zel
