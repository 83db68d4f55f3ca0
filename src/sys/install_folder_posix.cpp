#include <sys/stat.h>

#include <cstdlib>

#include "sys/install_folder.h"

namespace zel {
namespace {

bool StatPath(const std::string& path, struct stat& status) {
    return ::stat(path.c_str(), &status) == 0;
}

// The counterpart of a folder without extra attributes: one its owner may
// write to. A read-only folder gives 0, as a read-only folder does on Windows.
bool IsPlainFolder(const std::string& path) {
    struct stat status;
    return StatPath(path, status) && S_ISDIR(status.st_mode) && (status.st_mode & S_IWUSR);
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

char PathSeparator() {
    return '/';
}

bool GetSpecialFolderPath(std::string& result) {
    // A relative XDG_DATA_HOME is to be ignored, as the base-directory rules say.
    std::string dataHome = Environment("XDG_DATA_HOME");
    if (!dataHome.empty() && dataHome[0] == '/') {
        result = dataHome;
        return true;
    }
    std::string home = Environment("HOME");
    if (home.empty()) return false;
    AppendPath(home, ".local/share");
    result = home;
    return true;
}

int32_t PathExists(const std::string& path) {
    if (path.empty()) return -4;
    struct stat status;
    return StatPath(path, status) ? 1 : 0;
}

int32_t CreateFolderTree(const std::string& path) {
    try {
        std::string folder = path;
        if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        if (IsPlainFolder(folder)) return 1;

        const std::vector<std::string> prefixes = FolderPrefixes(folder);
        // The first prefix is what stands before the root: never created.
        for (size_t i = 1; i < prefixes.size(); ++i) {
            ::mkdir(prefixes[i].c_str(), 0777);
        }
        return IsPlainFolder(folder) ? 1 : 0;
    } catch (...) {
        return -1;
    }
}

int GetPathKind(const std::string& path) {
    struct stat status;
    if (!StatPath(path, status)) return kPathNothing;
    return S_ISDIR(status.st_mode) ? kPathFolder : kPathFile;
}

}  // namespace zel
