#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "sys/held_file.h"

namespace zel {

struct HeldFile::Handle {
    explicit Handle(int descriptor) : fd(descriptor) {}
    ~Handle() { ::close(fd); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    const int fd;
};

HeldFile::HeldFile() = default;

HeldFile::~HeldFile() = default;

bool HeldFile::Open(const std::string& path) {
    Close();
    // No sharing modes here: what stands for them is that a link in the
    // package's place is refused rather than followed.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    auto handle = std::make_unique<Handle>(fd);
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return false;
    handle_ = std::move(handle);
    path_ = path;
    return true;
}

void HeldFile::Close() {
    handle_.reset();
    path_.clear();
}

std::int64_t HeldFile::Size() const {
    struct stat status;
    if (!IsOpen() || ::fstat(handle_->fd, &status) != 0) return -1;
    return status.st_size;
}

std::int64_t HeldFile::ReadAt(std::int64_t offset, void* buffer, std::size_t count) const {
    if (!IsOpen() || offset < 0) return -1;
    for (;;) {
        const ssize_t n = ::pread(handle_->fd, buffer, count, off_t(offset));
        if (n >= 0) return n;
        if (errno != EINTR) return -1;
    }
}

void* HeldFile::SystemHandle() const {
    return nullptr;
}

}  // namespace zel
