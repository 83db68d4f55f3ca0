#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "sys/target_file.h"

namespace zel {

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

bool TargetFile::Open(const std::string& path, OpenMode mode) {
    Close();
    int flags = O_WRONLY | O_CLOEXEC;
    if (mode == OpenMode::CreateAlways) flags |= O_CREAT | O_TRUNC;
    if (mode == OpenMode::OpenAlways) flags |= O_CREAT;
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) return false;
    handle_ = fd;
    return true;
}

void TargetFile::Close() {
    if (!IsOpen()) return;
    ::close(static_cast<int>(handle_));
    handle_ = kInvalid;
}

bool TargetFile::WriteAt(std::int32_t offset, const void* data, std::int32_t count) {
    if (!IsOpen() || offset < 0 || count < 0) return false;
    return WriteFully(static_cast<int>(handle_), static_cast<const char*>(data), count, offset,
                      true);
}

bool TargetFile::Append(const void* data, std::int32_t count) {
    if (!IsOpen() || count < 0) return false;
    int fd = static_cast<int>(handle_);
    if (::lseek(fd, 0, SEEK_END) < 0) return false;
    return WriteFully(fd, static_cast<const char*>(data), count, 0, false);
}

bool TargetFile::Delete(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

}  // namespace zel
