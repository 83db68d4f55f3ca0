#include <windows.h>
// shlobj.h needs windows.h first: MinGW's copy does not pull in the COM types itself.
#include <shlobj.h>

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

int GetPathKind(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == kInvalidAttributes) return kPathNothing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? kPathFolder : kPathFile;
}

}  // namespace zel
