#include <windows.h>

#include <filesystem>
#include <system_error>

#include "support/data_folder.h"
#include "sys/install_folder.h"

namespace zel {
namespace {

void RemoveProgramFolders(const std::string& dataFolder) {
    if (dataFolder.empty()) return;
    std::error_code ignored;
    const std::filesystem::path top = std::filesystem::path(dataFolder) / "Quorvane";
    for (auto it = std::filesystem::recursive_directory_iterator(top, ignored);
         !ignored && it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        SetFileAttributesA(it->path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    std::filesystem::remove_all(top, ignored);
}

}  // namespace

struct ScopedDataFolder::Saved {};

ScopedDataFolder::ScopedDataFolder() {
    GetSpecialFolderPath(path_);
    RemoveProgramFolders(path_);
}

ScopedDataFolder::~ScopedDataFolder() {
    RemoveProgramFolders(path_);
}

bool GiveFolderExtraAttributes(const std::string& path) {
    return SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY) != 0;
}

void ClearFolderExtraAttributes(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace zel
