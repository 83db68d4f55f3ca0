// A file held open for reading so that what is read through it stays what is
// there: other programs may read it too, but while it is held none may write
// to it, rename it or delete it (Windows's sharing modes; natively the open
// refuses a link in the file's place). The package is checked through one
// such opening and the shell starts it while it is still held, so the bytes
// checked are the bytes launched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zel {

class HeldFile {
  public:
    HeldFile();
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    // False when the file cannot be held so: missing, not a plain file, a
    // link, or already open somewhere for writing or deleting. Lets go of
    // the file held before either way.
    bool Open(const std::string& path);
    bool IsOpen() const { return handle_ != nullptr; }
    void Close();
    // The path it was opened by; empty when nothing is held.
    const std::string& Path() const { return path_; }

    // Its size in bytes; -1 when it cannot be told.
    std::int64_t Size() const;
    // Reads up to count bytes from offset: the number read, 0 at the end,
    // -1 on failure.
    std::int64_t ReadAt(std::int64_t offset, void* buffer, std::size_t count) const;

    // Windows: the file's HANDLE, for system calls that read the file
    // through it rather than by its name. Null natively and when closed.
    void* SystemHandle() const;

  private:
    struct Handle;  // the system's owner of the open file
    std::unique_ptr<Handle> handle_;
    std::string path_;
};

}  // namespace zel
