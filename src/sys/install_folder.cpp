#include "sys/install_folder.h"

#include "sys/text.h"

namespace zel {

void AppendPath(std::string& path, const std::string& piece) {
    const char separator = PathSeparator();
    if (path.empty() || piece.empty()) {
        path += piece;
        return;
    }
    const size_t start = piece[0] == separator ? 1 : 0;
    if (path.back() != separator) path += separator;
    path.append(piece, start, std::string::npos);
}

std::string InstallFolderPiece() {
    const char separator = PathSeparator();
    return std::string("Quorvane") + separator + "ZEL3" + separator + "Installer" + separator;
}

std::vector<std::string> FolderPrefixes(const std::string& path) {
    std::vector<std::string> prefixes;
    const char separator = PathSeparator();
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == separator) prefixes.push_back(path.substr(0, i));
    }
    prefixes.push_back(path);
    return prefixes;
}

namespace {

// "Quorvane", "ZEL3", "Installer": the install folder's own name is the third.
constexpr std::size_t kInstallFolderLevel = 2;

std::vector<std::string> FolderNames(const std::string& piece) {
    std::vector<std::string> names;
    std::string name;
    for (char c : piece) {
        if (c != PathSeparator()) {
            name += c;
        } else if (!name.empty()) {
            names.push_back(name);
            name.clear();
        }
    }
    if (!name.empty()) names.push_back(name);
    return names;
}

}  // namespace

bool GetInstallFolder(std::string& result, const std::string& subPath, FolderHold& hold) {
    result.clear();
    hold.Release();
    try {
        std::string dataFolder;
        if (!GetSpecialFolderPath(dataFolder)) return false;
        std::string piece = InstallFolderPiece();
        AppendPath(piece, subPath);
        std::string folder = dataFolder;
        AppendPath(folder, piece);

        // The data folder is the profile's own: made as any program would
        // make it when missing (a fresh profile), never changed.
        if (PathExists(dataFolder) == 0) CreateFolderTree(dataFolder);
        if (!SecureFolderChain(dataFolder, FolderNames(piece), kInstallFolderLevel, hold)) {
            hold.Release();
            return false;
        }
        result = TrimWhiteSpace(folder);
        return true;
    } catch (...) {
        result.clear();
        hold.Release();
        return false;
    }
}

bool GetInstallFolder(std::string& result, const std::string& subPath) {
    FolderHold hold;
    return GetInstallFolder(result, subPath, hold);
}

}  // namespace zel
