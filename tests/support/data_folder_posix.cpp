#include <sys/stat.h>

#include <cstdlib>

#include "support/data_folder.h"
#include "support/temp_folder.h"

namespace zel {

struct ScopedDataFolder::Saved {
    TempFolder folder;
    bool hadValue = false;
    std::string value;
};

ScopedDataFolder::ScopedDataFolder() : saved_(new Saved) {
    if (const char* value = std::getenv("XDG_DATA_HOME")) {
        saved_->hadValue = true;
        saved_->value = value;
    }
    // Not created yet: the helpers must make every missing folder themselves.
    path_ = saved_->folder.File("data");
    ::setenv("XDG_DATA_HOME", path_.c_str(), 1);
}

ScopedDataFolder::~ScopedDataFolder() {
    if (saved_->hadValue) {
        ::setenv("XDG_DATA_HOME", saved_->value.c_str(), 1);
    } else {
        ::unsetenv("XDG_DATA_HOME");
    }
}

bool GiveFolderExtraAttributes(const std::string& path) {
    return ::chmod(path.c_str(), 0555) == 0;
}

void ClearFolderExtraAttributes(const std::string& path) {
    ::chmod(path.c_str(), 0755);
}

}  // namespace zel
