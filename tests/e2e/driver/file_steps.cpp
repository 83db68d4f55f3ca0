// A second program's attack on the package while the program checks it: it
// tries again and again to overwrite the package with its own bytes, to
// rename it away or to delete it, and to put its own file in its place.
#include <string>
#include <vector>

#include "dialog_state.h"
#include "driver.h"
#include "program_windows.h"
#include "sys/win32_handles.h"

namespace zel::e2e {

namespace {

std::vector<char> ReadAll(const std::string& path) {
    zel::ScopedFileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
    std::vector<char> bytes;
    char piece[65536];
    DWORD read = 0;
    while (file && ReadFile(file.Get(), piece, sizeof piece, &read, nullptr) && read > 0)
        bytes.insert(bytes.end(), piece, piece + read);
    return bytes;
}

struct Tally {
    int refused = 0;  // sharing violations
    int other = 0;    // any other failure (the last one's code kept)
    DWORD otherCode = 0;
    void Note(DWORD error) {
        if (error == ERROR_SHARING_VIOLATION) {
            ++refused;
        } else {
            ++other;
            otherCode = error;
        }
    }
    std::string Describe() const {
        return std::to_string(refused) + " refused" +
               (other ? ", " + std::to_string(other) + " failed otherwise (last error " +
                            std::to_string(otherCode) + ")"
                      : std::string());
    }
};

}  // namespace

// Succeeds when every attempt failed, each kind at least once with a
// sharing violation, until the status line read the given text.
StepResult Driver::ContendFile(const Args& args) {
    const std::string& path = args[0];
    const std::vector<char> replacement = ReadAll(args[1]);
    const std::string until = Unescape(args[2]);
    if (replacement.empty()) return {false, "cannot read " + args[1]};
    const DWORD start = GetTickCount();
    const DWORD timeout = SecondsToMs(args[3]);
    Tally writes;
    Tally renames;
    Tally deletes;
    const auto won = [&](const char* how) {
        return StepResult{false, std::string(how) + " the package after " +
                                     std::to_string(GetTickCount() - start) + " ms"};
    };
    for (;;) {
        HWND dialog = FindMainDialog();
        if (!dialog) return {false, "the program's dialog is gone"};
        if (ControlText(dialog, kStatusLineId) == until) break;
        if (GetTickCount() - start > timeout) return {false, "the status line never read it"};

        zel::ScopedFileHandle file(CreateFileA(
            path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, 0, nullptr));
        if (file) {
            DWORD written = 0;
            WriteFile(file.Get(), replacement.data(), DWORD(replacement.size()), &written, nullptr);
            SetEndOfFile(file.Get());
            return won("overwrote");
        }
        writes.Note(GetLastError());
        const std::string aside = path + ".taken";
        if (MoveFileExA(path.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            CopyFileA(args[1].c_str(), path.c_str(), FALSE);
            return won("renamed and replaced");
        }
        renames.Note(GetLastError());
        if (DeleteFileA(path.c_str())) {
            CopyFileA(args[1].c_str(), path.c_str(), FALSE);
            return won("deleted and replaced");
        }
        deletes.Note(GetLastError());
        Sleep(timings_.pollMs);
    }
    const std::string detail = "over " + std::to_string(GetTickCount() - start) +
                               " ms: overwrites " + writes.Describe() + "; renames " +
                               renames.Describe() + "; deletes " + deletes.Describe();
    return {writes.refused > 0 && renames.refused > 0 && deletes.refused > 0, detail};
}

}  // namespace zel::e2e
