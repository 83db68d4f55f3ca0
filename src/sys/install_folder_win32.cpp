#include <windows.h>
// shlobj.h needs windows.h first: MinGW's copy does not pull in the COM types itself.
#include <shlobj.h>

#include "sys/folder_security_win32.h"
#include "sys/install_folder.h"
#include "sys/win32_handles.h"

namespace zel {
namespace {

const DWORD kInvalidAttributes = 0xFFFFFFFF;  // INVALID_FILE_ATTRIBUTES
const size_t kShellPathBufferSize = 520;
// The second existence test refuses paths this long, as the status query it
// stands in for does.
const size_t kStatusQueryPathLimit = 260;

// Only a folder with no further attribute (hidden, read-only, not indexed...)
// counts as found here.
bool IsPlainFolder(const std::string& path) {
    WIN32_FIND_DATAA found;
    ScopedFindHandle find(FindFirstFileA(path.c_str(), &found));
    return find && found.dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY;
}

}  // namespace

char PathSeparator() {
    return '\\';
}

bool GetSpecialFolderPath(std::string& result) {
    ScopedItemIdList items;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_APPDATA, items.Receive())) || !items)
        return false;
    char buffer[kShellPathBufferSize] = {};
    if (!SHGetPathFromIDListA(items.Get(), buffer)) return false;
    result = buffer;
    return true;
}

int32_t PathExists(const std::string& path) {
    if (path.empty()) return -4;
    if (GetFileAttributesA(path.c_str()) != kInvalidAttributes) return 1;
    if (path.size() >= kStatusQueryPathLimit) return 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ? 1 : 0;
}

int32_t CreateFolderTree(const std::string& path) {
    try {
        std::string folder = path;
        if (!folder.empty() && folder.back() == '\\') folder.pop_back();
        if (IsPlainFolder(folder)) return 1;

        const std::vector<std::string> prefixes = FolderPrefixes(folder);
        // The first prefix is the drive or share: never created.
        for (size_t i = 1; i < prefixes.size(); ++i) {
            if (CreateDirectoryA(prefixes[i].c_str(), nullptr)) {
                SetFileAttributesA(prefixes[i].c_str(), FILE_ATTRIBUTE_NORMAL);
            }
        }
        return IsPlainFolder(folder) ? 1 : 0;
    } catch (...) {
        return -1;
    }
}

struct FolderHold::Held {
    std::vector<ScopedFileHandle> folders;
};

FolderHold::FolderHold() : held_(new Held) {}

FolderHold::~FolderHold() = default;

void FolderHold::Release() {
    held_.reset(new Held);
    protected_.clear();
}

namespace {

// Opens a folder as itself: a junction or a symbolic link is opened, not
// followed, and then refused. Without delete sharing, nobody can rename or
// delete it (nor so put something else in its place) while it is open.
ScopedFileHandle OpenPlainFolder(const std::string& path, DWORD access) {
    ScopedFileHandle folder(CreateFileA(
        path.c_str(), access | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION kind = {};
    if (!folder || !GetFileInformationByHandle(folder.Get(), &kind) ||
        !(kind.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (kind.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return ScopedFileHandle();
    return folder;
}

}  // namespace

bool SecureFolderChain(const std::string& dataFolder, const std::vector<std::string>& names,
                       std::size_t alwaysSecuredFrom, FolderHold& hold) {
    ProtectedFolderDescriptor descriptor;
    if (!descriptor.IsValid()) return false;
    std::vector<ScopedFileHandle>& folders = hold.held_->folders;
    // Top down, each folder held before the next is looked at: the one
    // looked at stays the one used.
    ScopedFileHandle top = OpenPlainFolder(dataFolder, 0);
    if (!top) return false;
    folders.push_back(std::move(top));
    std::string path = dataFolder;
    for (std::size_t i = 0; i < names.size(); ++i) {
        AppendPath(path, names[i]);
        // Made protected from its first moment: no one else can open it in
        // between.
        SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor.Get(), FALSE};
        const bool made = CreateDirectoryA(path.c_str(), &attributes) != FALSE;
        if (!made && GetLastError() != ERROR_ALREADY_EXISTS) return false;
        const bool secure = made || i >= alwaysSecuredFrom;
        ScopedFileHandle folder =
            OpenPlainFolder(path, secure ? READ_CONTROL | WRITE_DAC | WRITE_OWNER : 0);
        if (!folder) return false;
        if (secure) {
            if (!descriptor.ApplyTo(folder.Get())) return false;
            hold.protected_.push_back(path);
        }
        folders.push_back(std::move(folder));
    }
    return true;
}

int GetPathKind(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == kInvalidAttributes) return kPathNothing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? kPathFolder : kPathFile;
}

}  // namespace zel
