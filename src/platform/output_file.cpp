#include "platform/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace corvale {

int Output_file::open_for_writing(const std::filesystem::path& path) {
    close();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return fd_ >= 0 ? 0 : errno;
}

int Output_file::seek_to_start() {
    if (fd_ < 0) {
        return EBADF;
    }
    return ::lseek(fd_, 0, SEEK_SET) == 0 ? 0 : errno;
}

int Output_file::write(const void* data, std::size_t size) {
    if (fd_ < 0) {
        return EBADF;
    }
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, bytes, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return errno;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

std::uint64_t Output_file::length() const {
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

void Output_file::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace corvale
