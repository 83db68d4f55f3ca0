#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "sys/target_file.h"

namespace zel {

// The open descriptor, closed when its owner goes.
struct TargetFile::Handle {
    explicit Handle(int descriptor) : fd(descriptor) {}
    ~Handle() { ::close(fd); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    const int fd;
};

namespace {

bool WriteFully(int fd, const char* data, std::int32_t count, off_t offset, bool positioned) {
    while (count > 0) {
        ssize_t n = positioned ? ::pwrite(fd, data, static_cast<size_t>(count), offset)
                               : ::write(fd, data, static_cast<size_t>(count));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        count -= static_cast<std::int32_t>(n);
        offset += n;
    }
    return true;
}

}  // namespace

TargetFile::TargetFile() = default;

TargetFile::~TargetFile() = default;

bool TargetFile::Open(const std::string& path, OpenMode mode) {
    Close();
    int flags = O_WRONLY | O_CLOEXEC;
    if (mode == OpenMode::CreateAlways) flags |= O_CREAT | O_TRUNC;
    if (mode == OpenMode::OpenAlways) flags |= O_CREAT;
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) return false;
    handle_ = std::make_unique<Handle>(fd);
    return true;
}

void TargetFile::Close() {
    handle_.reset();
}

bool TargetFile::WriteAt(std::int32_t offset, const void* data, std::int32_t count) {
    if (!IsOpen() || offset < 0 || count < 0) return false;
    return WriteFully(handle_->fd, static_cast<const char*>(data), count, offset, true);
}

bool TargetFile::Append(const void* data, std::int32_t count) {
    if (!IsOpen() || count < 0) return false;
    const int fd = handle_->fd;
    if (::lseek(fd, 0, SEEK_END) < 0) return false;
    return WriteFully(fd, static_cast<const char*>(data), count, 0, false);
}

bool TargetFile::Preallocate(std::int32_t size) {
    if (!IsOpen() || size < 0) return false;
    struct stat status;
    if (::fstat(handle_->fd, &status) != 0 || status.st_size != 0) return false;
    // Room reserved as unwritten space that reads back as zeros (the C
    // library writes the zeros itself where the file system cannot).
    return size == 0 || ::posix_fallocate(handle_->fd, 0, size) == 0;
}

void TargetFile::StartWriteBack(std::int32_t offset, std::int32_t count) {
    if (!IsOpen() || offset < 0 || count <= 0) return;
#ifdef SYNC_FILE_RANGE_WRITE
    // Queues the range's dirty pages for writing and returns; pages already
    // on their way are not waited for.
    ::sync_file_range(handle_->fd, offset, count, SYNC_FILE_RANGE_WRITE);
#endif
}

bool TargetFile::Flush() {
    if (!IsOpen()) return false;
    // The data and whatever is needed to read it back (the size); times of
    // access and change may stay behind.
    return ::fdatasync(handle_->fd) == 0;
}

bool TargetFile::Delete(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool TargetFile::MoveOver(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) return false;
    // The new name lives in the folder's own entries: until they are on the
    // disk, a power cut may bring the old file back, or no file at all.
    const std::string::size_type slash = to.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : to.substr(0, slash + 1);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const Handle opened(fd);
    return ::fsync(opened.fd) == 0;
}

}  // namespace zel
