#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace corvale {

namespace {

// How often a file replaced under the lock is tried again: each round means
// that another program saved in between, so a few rounds are plenty.
constexpr int k_attempts = 8;

bool same_file(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

File_lock::File_lock(File_lock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

File_lock& File_lock::operator=(File_lock&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

File_lock::Status File_lock::lock(const std::filesystem::path& path) {
    release();
    for (int attempt = 0; attempt < k_attempts; ++attempt) {
        // O_NONBLOCK: opening a FIFO must not wait for a writer.
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            return Status::failed;
        }
        struct stat locked {};
        if (::fstat(fd, &locked) != 0 || !S_ISREG(locked.st_mode)) {
            ::close(fd);
            return Status::failed;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            return error == EWOULDBLOCK ? Status::held_elsewhere : Status::failed;
        }
        // The name may lead to a newer file by now: the one just locked was
        // replaced by a save that already holds the lock of its successor.
        struct stat named {};
        if (::stat(path.c_str(), &named) == 0 && same_file(named, locked)) {
            fd_ = fd;
            return Status::locked;
        }
        ::close(fd);
    }
    return Status::held_elsewhere;  // replaced again and again: someone is saving it
}

bool File_lock::adopt(int fd) {
    release();
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool File_lock::covers(const std::filesystem::path& path) const {
    struct stat locked {};
    struct stat named {};
    return fd_ >= 0 && ::fstat(fd_, &locked) == 0 && ::stat(path.c_str(), &named) == 0 &&
           same_file(locked, named);
}

void File_lock::release() {
    if (fd_ >= 0) {
        ::close(fd_);  // closing the last descriptor of the file releases its lock
        fd_ = -1;
    }
}

}  // namespace corvale
