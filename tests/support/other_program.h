#pragma once

// Stand-ins for another program on the same machine: a process that holds a
// list file's lock as a running copy of the program does, and a user without
// root's right to write every file.

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

namespace corvale::testing {

// A child process that locks the file `path` names (flock, exclusive) and
// holds it until release() or the end of the object.
class Lock_holder {
  public:
    explicit Lock_holder(const std::filesystem::path& path) {
        int ready[2];
        int done[2];
        if (::pipe(ready) != 0 || ::pipe(done) != 0) {
            return;
        }
        const char* name = path.c_str();
        pid_ = ::fork();
        if (pid_ == 0) {
            // Only async-signal-safe calls here: the test may run threads. The
            // pipe ends move to 0 and 1, and every other descriptor inherited
            // (locks of the test among them) is closed, so that the child
            // holds nothing but its own lock.
            ::dup2(ready[1], 0);
            ::dup2(done[0], 1);
            ::close_range(3, ~0U, 0);
            const int fd = ::open(name, O_RDONLY | O_CLOEXEC);
            const char locked = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? '1' : '0';
            [[maybe_unused]] const auto written = ::write(0, &locked, 1);
            char end = 0;
            [[maybe_unused]] const auto read = ::read(1, &end, 1);  // until the parent lets go
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(done[0]);
        done_ = done[1];
        char locked = '0';
        locked_ = pid_ > 0 && ::read(ready[0], &locked, 1) == 1 && locked == '1';
        ::close(ready[0]);
    }
    ~Lock_holder() { release(); }
    Lock_holder(const Lock_holder&) = delete;
    Lock_holder& operator=(const Lock_holder&) = delete;

    // Whether the child got the lock.
    bool locked() const { return locked_; }
    // Ends the child, which lets its lock go.
    void release() {
        if (done_ >= 0) {
            ::close(done_);
            done_ = -1;
        }
        if (pid_ > 0) {
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
        locked_ = false;
    }

  private:
    pid_t pid_ = -1;
    int done_ = -1;
    bool locked_ = false;
};

// While it lives, this thread honours file permissions even as root (root's
// right to override them is set aside), so that a read-only file is read-only
// for the test whoever runs it. A no-op for other users.
class Without_override {
  public:
    Without_override() {
        if (::geteuid() != 0 || !get(saved_)) {
            return;
        }
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        lowered[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
        active_ = set(lowered);
    }
    ~Without_override() {
        if (active_) {
            set(saved_);
        }
    }
    Without_override(const Without_override&) = delete;
    Without_override& operator=(const Without_override&) = delete;

  private:
    static bool get(__user_cap_data_struct* data) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        return ::syscall(SYS_capget, &header, data) == 0;
    }
    static bool set(__user_cap_data_struct* data) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        return ::syscall(SYS_capset, &header, data) == 0;
    }

    __user_cap_data_struct saved_[2] = {};
    bool active_ = false;
};

}  // namespace corvale::testing
