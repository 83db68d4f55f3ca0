#include <windows.h>

#include <algorithm>
#include <vector>

#include "sys/target_file.h"
#include "sys/win32_handles.h"

namespace zel {

struct TargetFile::Handle {
    ScopedFileHandle file;
};

namespace {

bool WriteAll(HANDLE file, const void* data, std::int32_t count) {
    DWORD written = 0;
    return WriteFile(file, data, static_cast<DWORD>(count), &written, nullptr) &&
           written == static_cast<DWORD>(count);
}

}  // namespace

TargetFile::TargetFile() = default;

TargetFile::~TargetFile() = default;

bool TargetFile::Open(const std::string& path, OpenMode mode) {
    Close();
    DWORD disposition = CREATE_ALWAYS;
    if (mode == OpenMode::OpenExisting) disposition = OPEN_EXISTING;
    if (mode == OpenMode::OpenAlways) disposition = OPEN_ALWAYS;
    ScopedFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    handle_.reset(new Handle{std::move(file)});
    return true;
}

void TargetFile::Close() {
    handle_.reset();
}

bool TargetFile::WriteAt(std::int32_t offset, const void* data, std::int32_t count) {
    if (!IsOpen() || offset < 0 || count < 0) return false;
    HANDLE file = handle_->file.Get();
    if (SetFilePointer(file, offset, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return false;
    return WriteAll(file, data, count);
}

bool TargetFile::Append(const void* data, std::int32_t count) {
    if (!IsOpen() || count < 0) return false;
    HANDLE file = handle_->file.Get();
    if (SetFilePointer(file, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER) return false;
    return WriteAll(file, data, count);
}

bool TargetFile::Preallocate(std::int32_t size) {
    if (!IsOpen() || size < 0) return false;
    HANDLE file = handle_->file.Get();
    if (GetFileSize(file, nullptr) != 0) return false;
    // Zeros written for real: a file only extended (SetEndOfFile) would have
    // the system zero everything before a write far into it, at that write,
    // with the writers' lock held.
    constexpr std::int32_t kPiece = 262144;
    const std::vector<char> zeros(static_cast<std::size_t>(kPiece), '\0');
    for (std::int32_t written = 0; written < size;) {
        const std::int32_t piece = std::min(kPiece, size - written);
        if (!WriteAt(written, zeros.data(), piece)) return false;
        written += piece;
    }
    return true;
}

void TargetFile::StartWriteBack(std::int32_t, std::int32_t) {
    // Windows has no request that starts the write of part of a file without
    // waiting for it; its cache writes dirty pages on its own within
    // seconds, and the checkpoint's Flush waits for the rest.
}

bool TargetFile::Flush() {
    return IsOpen() && FlushFileBuffers(handle_->file.Get()) != FALSE;
}

bool TargetFile::Delete(const std::string& path) {
    return DeleteFileA(path.c_str()) != FALSE;
}

bool TargetFile::MoveOver(const std::string& from, const std::string& to) {
    // Write-through: the call returns once the move is on the disk, so the
    // folder needs no flush of its own.
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

}  // namespace zel
