#include "platform/output_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_io.h"

namespace corvale {

namespace {

int special_file_error(const struct stat& info) {
    if (S_ISLNK(info.st_mode)) {
        return ELOOP;
    }
    if (S_ISDIR(info.st_mode)) {
        return EISDIR;
    }
    return S_ISREG(info.st_mode) ? 0 : EINVAL;
}

}  // namespace

int Output_file::check_target(const std::filesystem::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return errno == ENOENT ? 0 : errno;
    }
    return special_file_error(info);
}

int Output_file::open_for_writing(const std::filesystem::path& path) {
    close();
    // O_NOFOLLOW refuses a symlink as the last component; O_NONBLOCK keeps a
    // FIFO without a reader from blocking the open. Nothing is cut here.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        return errno == ENXIO ? EINVAL : errno;  // ENXIO: a FIFO nobody reads
    }
    struct stat info {};
    int error = ::fstat(fd, &info) == 0 ? special_file_error(info) : errno;
    if (error == 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno;
    }
    if (error == 0) {
        const int flags = ::fcntl(fd, F_GETFL);
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    if (error != 0) {
        ::close(fd);
        return error;
    }
    fd_ = fd;
    path_ = path;
    opened_ = true;
    return 0;
}

int Output_file::restart() {
    if (fd_ < 0) {
        return EBADF;
    }
    if (::ftruncate(fd_, 0) != 0) {
        return errno;
    }
    return ::lseek(fd_, 0, SEEK_SET) == 0 ? 0 : errno;
}

int Output_file::write(const void* data, std::size_t size) {
    return fd_ < 0 ? EBADF : write_all(fd_, data, size);
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
        // What the file looked like when this download let go of it: a file
        // found under the name later is this one only if it still looks so.
        struct stat info {};
        if (::fstat(fd_, &info) == 0) {
            identity_ = info;
        }
        ::close(fd_);  // also releases the lock
        fd_ = -1;
    }
}

bool Output_file::remove() {
    if (!opened_) {
        close();
        return false;
    }
    opened_ = false;
    struct stat now {};
    if (fd_ >= 0) {
        ::fstat(fd_, &identity_);  // held open: its inode cannot be another file's
    }
    // A name that now leads elsewhere was replaced by someone else: keep it.
    const bool same = ::lstat(path_.c_str(), &now) == 0 && S_ISREG(now.st_mode) &&
                      now.st_dev == identity_.st_dev && now.st_ino == identity_.st_ino &&
                      now.st_size == identity_.st_size &&
                      now.st_ctim.tv_sec == identity_.st_ctim.tv_sec &&
                      now.st_ctim.tv_nsec == identity_.st_ctim.tv_nsec;
    const bool removed = same && ::unlink(path_.c_str()) == 0;
    close();
    return removed;
}

}  // namespace corvale
