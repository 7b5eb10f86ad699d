#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/file_lock.h"
#include "platform/wide_text.h"

namespace corvale {

namespace {

// Closes a descriptor when it goes out of scope.
class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

std::filesystem::path to_path(std::wstring_view text) {
    return std::filesystem::path(encode_utf8(text));
}

std::wstring from_path(const std::filesystem::path& path) {
    return decode_native(path.native());
}

Read_result read_whole_file(const std::filesystem::path& path, std::uint64_t max_size) {
    Read_result result;
    // O_NONBLOCK: opening a FIFO must not wait for a writer. Only a regular
    // file is read: a device or a FIFO has no size to check against the limit.
    const Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info {};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        result.status = Read_status::open_failed;
        result.error = fd.get() < 0 || info.st_mode == 0 ? errno
                       : S_ISDIR(info.st_mode)           ? EISDIR
                                                         : EINVAL;
        return result;
    }
    if (static_cast<std::uint64_t>(info.st_size) > max_size) {
        result.status = Read_status::too_big;
        return result;
    }
    result.bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < result.bytes.size()) {
        const ssize_t n = ::read(fd.get(), result.bytes.data() + done, result.bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            result.status = Read_status::read_failed;
            result.error = errno;
            return result;
        }
        if (n == 0) {
            break;  // the file shrank while being read: keep what is there
        }
        done += static_cast<std::size_t>(n);
    }
    result.bytes.resize(done);
    return result;
}

Replacing_file_writer::Replacing_file_writer(std::filesystem::path target)
    : target_(std::move(target)) {}

Replacing_file_writer::~Replacing_file_writer() {
    discard();
}

Replacing_file_writer::Open_status Replacing_file_writer::open() {
    std::error_code error;
    // Save through a link into the file it points at, not over the link.
    if (std::filesystem::is_symlink(target_, error)) {
        const auto resolved = std::filesystem::weakly_canonical(target_, error);
        if (!error) {
            target_ = resolved;
        }
    }
    const std::filesystem::path folder =
        target_.has_parent_path() ? target_.parent_path() : std::filesystem::path(".");
    if (!std::filesystem::is_directory(folder, error)) {
        return Open_status::folder_missing;
    }
    struct stat old {};
    const bool exists = ::stat(target_.c_str(), &old) == 0;
    // A writable folder would let the rename replace a file the user may not
    // write, or a device: both stay as they are.
    if (exists &&
        (!S_ISREG(old.st_mode) || ::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0)) {
        return Open_status::target_not_replaceable;
    }
    replaces_ = exists;
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12 at -O3 reports an overlapping copy inside the inlined string
// concatenation below that cannot happen (a false positive of -Wrestrict).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
#endif
    std::string pattern =
        (folder / ("." + target_.filename().string() + ".saving-XXXXXX")).string();
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0) {
        return exists ? Open_status::target_not_replaceable : Open_status::cannot_create;
    }
    temporary_ = pattern;
    ::fchmod(fd_, exists ? (old.st_mode & 07777) : 0644);
    return Open_status::ok;
}

std::wstring system_error_text(int error) {
    return decode_ansi(std::strerror(error));
}

int write_all(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
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

int Replacing_file_writer::write(std::string_view bytes) {
    return fd_ < 0 ? EBADF : write_all(fd_, bytes.data(), bytes.size());
}

int Replacing_file_writer::commit(File_lock* new_lock) {
    if (fd_ < 0) {
        return EBADF;
    }
    int error = ::fsync(fd_) == 0 ? 0 : errno;
    if (error == 0 && new_lock != nullptr) {
        // The lock lives on a descriptor of its own, so that closing this one
        // still reports a late write error. A file system without locks
        // saves unlocked, as every program there does.
        const int copy = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
        if (copy < 0) {
            error = errno;
        } else {
            new_lock->adopt(copy);
        }
    }
    if (::close(fd_) != 0 && error == 0) {
        error = errno;
    }
    fd_ = -1;
    if (error == 0) {
        error = put_in_place();
    }
    if (error == 0) {
        temporary_.clear();
    } else if (new_lock != nullptr) {
        new_lock->release();
    }
    discard();
    return error;
}

int Replacing_file_writer::put_in_place() {
    if (!replaces_) {
        if (::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, target_.c_str(),
                        RENAME_NOREPLACE) == 0) {
            return 0;
        }
        if (errno != EINVAL && errno != ENOSYS) {
            return errno;
        }
        // A file system that cannot refuse to replace: a plain rename.
    }
    return ::rename(temporary_.c_str(), target_.c_str()) == 0 ? 0 : errno;
}

void Replacing_file_writer::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
}

}  // namespace corvale
