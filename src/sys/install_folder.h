// The fixed folder below the user's application-data folder that holds the
// setup package and its resume file, and the small path helpers around it.
// Folder paths end with the separator, so file names are appended directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zel {

// Results of GetPathKind.
enum PathKind : int { kPathNothing = 0, kPathFolder = 1, kPathFile = 2 };

// Keeps the folders from the data folder down to the install folder in place
// while it lives: on Windows none of them can be renamed or deleted (it holds
// each open without delete sharing), so no junction can take one's place
// after it was looked at. Natively it holds each open.
class FolderHold {
  public:
    FolderHold();
    ~FolderHold();
    FolderHold(const FolderHold&) = delete;
    FolderHold& operator=(const FolderHold&) = delete;

    // Lets every folder go.
    void Release();
    // The folders this hold made safe (top down): those it made, and the
    // install folder and below whether made or found.
    const std::vector<std::string>& Protected() const { return protected_; }

  private:
    friend bool SecureFolderChain(const std::string&, const std::vector<std::string>&, std::size_t,
                                  FolderHold&);
    struct Held;  // the system's open folders
    std::unique_ptr<Held> held_;
    std::vector<std::string> protected_;
};

// The install folder, created with every missing folder above it when needed,
// and made safe for a program that runs as administrator to write in and
// start from: on Windows owned by Administrators, full control for them and
// SYSTEM, read and execute for the user, nothing inherited from the profile;
// natively mode 0755 and owned by the running user. The install folder (and
// subPath below it) is brought to that state also when found from an earlier
// run; Quorvane and ZEL3 above it when the program makes them. A link
// (junction, symbolic link) anywhere from the data folder down, or a folder
// that cannot be made safe, gives false with result empty, and nothing is
// made or changed through it. hold keeps the folders in place afterwards.
bool GetInstallFolder(std::string& result, const std::string& subPath, FolderHold& hold);
// The same, holding nothing once it returns.
bool GetInstallFolder(std::string& result, const std::string& subPath);

// The platform's half of the above: from dataFolder (which must exist and be
// no link) down through names, each made when missing, each that is made or
// whose index is alwaysSecuredFrom or more made safe, every one refused when
// it is a link or no folder. Each stays held in hold.
bool SecureFolderChain(const std::string& dataFolder, const std::vector<std::string>& names,
                       std::size_t alwaysSecuredFrom, FolderHold& hold);

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
