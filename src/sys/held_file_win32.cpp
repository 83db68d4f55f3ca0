#include <windows.h>

#include "sys/held_file.h"
#include "sys/win32_handles.h"

namespace zel {

struct HeldFile::Handle {
    ScopedFileHandle file;
};

HeldFile::HeldFile() = default;

HeldFile::~HeldFile() = default;

bool HeldFile::Open(const std::string& path) {
    Close();
    // Readers only may share it: a writer, a rename or a delete by anyone
    // fails with a sharing violation for as long as it is held. A reparse
    // point is opened as itself, never followed, and then refused.
    ScopedFileHandle file(CreateFileA(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    BY_HANDLE_FILE_INFORMATION kind = {};
    if (!GetFileInformationByHandle(file.Get(), &kind) ||
        (kind.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return false;
    handle_.reset(new Handle{std::move(file)});
    path_ = path;
    return true;
}

void HeldFile::Close() {
    handle_.reset();
    path_.clear();
}

std::int64_t HeldFile::Size() const {
    LARGE_INTEGER size;
    if (!IsOpen() || !GetFileSizeEx(handle_->file.Get(), &size)) return -1;
    return size.QuadPart;
}

std::int64_t HeldFile::ReadAt(std::int64_t offset, void* buffer, std::size_t count) const {
    if (!IsOpen() || offset < 0) return -1;
    OVERLAPPED at = {};
    at.Offset = DWORD(std::uint64_t(offset));
    at.OffsetHigh = DWORD(std::uint64_t(offset) >> 32);
    DWORD read = 0;
    if (!ReadFile(handle_->file.Get(), buffer, DWORD(count), &read, &at))
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    return read;
}

void* HeldFile::SystemHandle() const {
    return IsOpen() ? handle_->file.Get() : nullptr;
}

}  // namespace zel
