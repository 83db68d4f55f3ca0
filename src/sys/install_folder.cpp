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

bool GetInstallFolder(std::string& result, const std::string& subPath) {
    result.clear();
    try {
        std::string dataFolder;
        if (!GetSpecialFolderPath(dataFolder)) return false;
        std::string piece = InstallFolderPiece();
        AppendPath(piece, subPath);
        std::string folder = dataFolder;
        AppendPath(folder, piece);

        if (PathExists(folder) == 0) {
            // Its code is not decisive: a folder with extra attributes gives 0
            // yet is perfectly usable, which the second look finds.
            CreateFolderTree(folder);
            if (PathExists(folder) == 0) return false;
        }
        result = TrimWhiteSpace(folder);
        return true;
    } catch (...) {
        result.clear();
        return false;
    }
}

}  // namespace zel
