// A file opened for writing, owned by RAII: the package that the workers fill
// at their offsets, and the resume state file the engine writes beside it.
// Sizes and offsets are signed 32-bit like everywhere in the engine, so a
// package stays below 2 GiB.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zel {

class TargetFile {
  public:
    // How Open treats the file already at the path.
    enum class OpenMode {
        CreateAlways,  // truncate or create
        OpenExisting,  // fail when missing
        OpenAlways,    // keep what is there, create when missing
    };

    TargetFile();
    ~TargetFile();
    TargetFile(const TargetFile&) = delete;
    TargetFile& operator=(const TargetFile&) = delete;

    // Opens for writing; other programs may read while it is open. Closes the
    // file held before, so a handle is never leaked or shadowed.
    bool Open(const std::string& path, OpenMode mode);
    bool IsOpen() const { return handle_ != nullptr; }
    void Close();

    // Writes count bytes at offset; true only when every byte was written.
    // Not safe to call from several threads at once for the same file: the
    // engine serialises its writes under its write lock.
    bool WriteAt(std::int32_t offset, const void* data, std::int32_t count);

    // Writes count bytes after the current end of the file.
    bool Append(const void* data, std::int32_t count);

    // Makes an empty file size bytes long, every byte zero, with its room
    // taken on the disk; false when the disk has no room for it (or the file
    // was not empty). Where the system can reserve room without writing it
    // (POSIX), no zero is written: a download that overwrites them would
    // otherwise send every byte to the disk twice once it is flushed.
    bool Preallocate(std::int32_t size);

    // Asks the system to start writing the bytes at [offset, offset + count)
    // to the disk now, without waiting for it, so that a later Flush finds
    // less to do. Only a hint: what Flush promises does not depend on it.
    // Safe beside WriteAt on another thread. Where the system has no such
    // request (Windows), it does nothing.
    void StartWriteBack(std::int32_t offset, std::int32_t count);

    // Returns once every byte written so far is on the disk itself, not only
    // in the system's cache: what a power cut cannot take back any more.
    // Safe beside WriteAt on another thread; a write racing with it may or
    // may not be among the bytes it secures.
    bool Flush();

    // Deletes the file at path; a folder there is left alone.
    static bool Delete(const std::string& path);

    // Moves the file at from over the one at to in one step, so that a
    // reader of to finds either the old file or the new one, never a mix,
    // and returns once the move itself would survive a power cut.
    static bool MoveOver(const std::string& from, const std::string& to);

  private:
    struct Handle;  // the system's owner of the open file
    std::unique_ptr<Handle> handle_;
};

}  // namespace zel
