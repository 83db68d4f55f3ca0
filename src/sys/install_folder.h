// The fixed folder below the user's application-data folder that holds the
// setup package and its resume file, and the small path helpers around it.
// Folder paths end with the separator, so file names are appended directly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zel {

// Results of GetPathKind.
enum PathKind : int { kPathNothing = 0, kPathFolder = 1, kPathFile = 2 };

// The install folder, created with every missing folder above it when needed.
// False (and result empty) when the data folder is unknown or the folder
// cannot be had; subPath goes below the install folder (usually empty).
bool GetInstallFolder(std::string& result, const std::string& subPath);

// The user's (roaming) application-data folder.
bool GetSpecialFolderPath(std::string& result);

// Joins with exactly one separator; a leading separator of piece is dropped.
void AppendPath(std::string& path, const std::string& piece);

// Non-zero when the path exists or is empty (-4), 0 when it does not.
int32_t PathExists(const std::string& path);

// 1 when path is a plain folder at the end, 0 when it is not, -1 when the
// work ended on an exception. Failures to create single folders are quiet.
int32_t CreateFolderTree(const std::string& path);

// Nothing, folder or file; an unreadable path counts as nothing.
int GetPathKind(const std::string& path);

// The separator of this system's paths.
char PathSeparator();

// Below the data folder: "Quorvane", "ZEL3", "Installer" and the separator.
std::string InstallFolderPiece();

// Every prefix a separator closes, and the whole path last. For
// C:\One\Two: "C:", "C:\One", "C:\One\Two".
std::vector<std::string> FolderPrefixes(const std::string& path);

}  // namespace zel
