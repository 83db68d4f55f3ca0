// Points the install-folder helpers at a data folder owned by one test, and
// gives folders the extra attributes a user or a tool may have put on them.
#pragma once

#include <memory>
#include <string>

namespace zel {

class ScopedDataFolder {
  public:
    // Natively a fresh temporary folder stands in for the user's data folder;
    // under Windows (a private Wine prefix) the real one is used and the
    // program's own folders below it are removed before and after.
    ScopedDataFolder();
    ~ScopedDataFolder();
    ScopedDataFolder(const ScopedDataFolder&) = delete;
    ScopedDataFolder& operator=(const ScopedDataFolder&) = delete;

    // The data folder, as GetSpecialFolderPath should report it.
    const std::string& path() const { return path_; }

  private:
    struct Saved;
    std::unique_ptr<Saved> saved_;
    std::string path_;
};

// Hidden and read-only; false when the system refused.
bool GiveFolderExtraAttributes(const std::string& path);
// Back to a plain folder.
void ClearFolderExtraAttributes(const std::string& path);

}  // namespace zel
