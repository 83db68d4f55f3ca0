// Owner of a library loaded at run time: frees it when the owner goes. On
// Windows libraries come from the system folder only: the program runs as
// administrator from wherever it was downloaded to, where any page may have
// dropped a file named like a system library.
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

    // Loads the named library (from the system folder on Windows, never from
    // the program's own or the current folder); false (and empty) when it
    // could not be loaded.
    bool Load(const std::string& name);
    // The address of an export, or null when the module lacks it or is empty.
    void* FindExport(const char* name) const;
    void Free();
    bool IsLoaded() const { return loaded_ != nullptr; }

  private:
    struct Loaded;  // the system's owner of the loaded library
    std::unique_ptr<Loaded> loaded_;
};

// Keeps every library the process loads from now on, by name, through an
// import or from inside a system library, to the system folder. Called before
// anything else of the program runs. False where the system cannot restrict
// the search (before Windows 8 without its update); LibraryModule then loads
// by the system folder's full path. Natively there is nothing to restrict.
bool RestrictLibrarySearch();

}  // namespace zel
