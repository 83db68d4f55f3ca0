// Owner of a library loaded at run time: frees it when the owner goes.
#pragma once

#include <memory>
#include <string>

namespace zel {

class LibraryModule {
  public:
    LibraryModule();
    ~LibraryModule();
    LibraryModule(const LibraryModule&) = delete;
    LibraryModule& operator=(const LibraryModule&) = delete;

    // Loads the named library; false (and empty) when it could not be loaded.
    bool Load(const std::string& name);
    // The address of an export, or null when the module lacks it or is empty.
    void* FindExport(const char* name) const;
    void Free();
    bool IsLoaded() const { return loaded_ != nullptr; }

  private:
    struct Loaded;  // the system's owner of the loaded library
    std::unique_ptr<Loaded> loaded_;
};

}  // namespace zel
