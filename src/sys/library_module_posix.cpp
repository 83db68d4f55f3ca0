#include <dlfcn.h>

#include "sys/library_module.h"

namespace zel {

// The handle dlopen gave, closed when its owner goes.
struct LibraryModule::Loaded {
    explicit Loaded(void* opened) : handle(opened) {}
    ~Loaded() { dlclose(handle); }
    Loaded(const Loaded&) = delete;
    Loaded& operator=(const Loaded&) = delete;
    void* const handle;
};

LibraryModule::LibraryModule() = default;

LibraryModule::~LibraryModule() = default;

void LibraryModule::Free() {
    loaded_.reset();
}

bool LibraryModule::Load(const std::string& name) {
    Free();
    void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return false;
    loaded_ = std::make_unique<Loaded>(handle);
    return true;
}

bool RestrictLibrarySearch() {
    // dlopen looks beside the program only for names with a slash.
    return true;
}

void* LibraryModule::FindExport(const char* name) const {
    return loaded_ ? dlsym(loaded_->handle, name) : nullptr;
}

}  // namespace zel
