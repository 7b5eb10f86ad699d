#pragma once

// An exclusive advisory lock (flock) on a file that another program of ours
// may want to write, held while the object lives. Programs that save such a
// file replace it (a new file renamed over the old one), so the lock is on
// the file, not on its name: a saver locks the new file before it takes the
// old one's place and only then lets the old lock go, and whoever takes a
// lock checks afterwards that the name still leads to the file it locked.
// Never waits. Not thread-safe; the descriptor is closed on exec.

#include <filesystem>

namespace corvale {

class File_lock {
  public:
    enum class Status {
        locked,
        held_elsewhere,  // another open file holds it, in this or another program
        failed,          // no such regular file, no access, or no locks there
    };

    File_lock() = default;
    ~File_lock() { release(); }
    File_lock(File_lock&& other) noexcept;
    File_lock& operator=(File_lock&& other) noexcept;
    File_lock(const File_lock&) = delete;
    File_lock& operator=(const File_lock&) = delete;

    // Locks the regular file `path` names (a special file is never opened in
    // a way that blocks). A file that another program saved over between the
    // open and the lock is let go of, and its successor tried. Releases what
    // was held first.
    Status lock(const std::filesystem::path& path);
    // Locks the file open on `fd`, whose descriptor it then owns (also when
    // false is given: the descriptor is closed then). For the new file of a
    // save, before it is renamed into place.
    bool adopt(int fd);

    bool held() const { return fd_ >= 0; }
    // Whether the locked file is the one that `path` names now (the same
    // device and inode); false when nothing is held.
    bool covers(const std::filesystem::path& path) const;
    void release();

  private:
    int fd_ = -1;
};

}  // namespace corvale
