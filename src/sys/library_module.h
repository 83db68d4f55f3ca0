// Owner of a library loaded at run time: frees it when the owner goes.
#pragma once

#include <string>

namespace zel {

class LibraryModule {
  public:
    LibraryModule() = default;
    ~LibraryModule() { Free(); }
    LibraryModule(const LibraryModule&) = delete;
    LibraryModule& operator=(const LibraryModule&) = delete;

    // Loads the named library; false (and empty) when it could not be loaded.
    bool Load(const std::string& name);
    // The address of an export, or null when the module lacks it or is empty.
    void* FindExport(const char* name) const;
    void Free();
    bool IsLoaded() const { return handle_ != nullptr; }
    void* Handle() const { return handle_; }

  private:
    void* handle_ = nullptr;
};

}  // namespace zel
