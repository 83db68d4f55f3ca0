#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

struct FolderHold::Held {
    ~Held() {
        for (int fd : folders) ::close(fd);
    }
    std::vector<int> folders;
};

FolderHold::FolderHold() : held_(new Held) {}

FolderHold::~FolderHold() = default;

void FolderHold::Release() {
    held_.reset(new Held);
    protected_.clear();
}

namespace {

constexpr mode_t kProtectedMode = 0755;
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// What Windows's protected folder is here: the running user's own, which
// nobody else may write to. A folder of another owner cannot be made so.
bool Protect(int folder) {
    struct stat status;
    if (::fstat(folder, &status) != 0 || status.st_uid != ::geteuid()) return false;
    return (status.st_mode & 07777) == kProtectedMode || ::fchmod(folder, kProtectedMode) == 0;
}

}  // namespace

bool SecureFolderChain(const std::string& dataFolder, const std::vector<std::string>& names,
                       std::size_t alwaysSecuredFrom, FolderHold& hold) {
    std::vector<int>& folders = hold.held_->folders;
    // Each step opens the next name inside the folder held before, never
    // following a link, so what was looked at is what is used.
    int parent = ::open(dataFolder.c_str(), kFolderFlags);
    if (parent < 0) return false;
    folders.push_back(parent);
    std::string path = dataFolder;
    for (std::size_t i = 0; i < names.size(); ++i) {
        AppendPath(path, names[i]);
        const bool made = ::mkdirat(parent, names[i].c_str(), kProtectedMode) == 0;
        if (!made && errno != EEXIST) return false;
        const int folder = ::openat(parent, names[i].c_str(), kFolderFlags);
        if (folder < 0) return false;
        folders.push_back(folder);
        if (made || i >= alwaysSecuredFrom) {
            if (!Protect(folder)) return false;
            hold.protected_.push_back(path);
        }
        parent = folder;
    }
    return true;
}

int GetPathKind(const std::string& path) {
    struct stat status;
    if (!StatPath(path, status)) return kPathNothing;
    return S_ISDIR(status.st_mode) ? kPathFolder : kPathFile;
}

}  // namespace zel
