#pragma once

// The file a download writes. Only a regular file is ever opened, written or
// removed: a symlink as the last part of the path, a device, a FIFO or a
// socket is refused without blocking, and the file is held with an exclusive
// advisory lock while it is open, so two downloads never write one file.
// Errors are errno values, the cause codes that reach the user.

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace corvale {

class Output_file {
  public:
    Output_file() = default;
    ~Output_file() { close(); }
    Output_file(const Output_file&) = delete;
    Output_file& operator=(const Output_file&) = delete;

    // Whether `path` may become an output file, judged without following a
    // final symlink: a missing name or a regular file. 0, or the errno that
    // says why not (ELOOP for a symlink, EINVAL for any other special file).
    static int check_target(const std::filesystem::path& path);

    // Creates the file, or opens an existing regular file, and locks it. An
    // existing file keeps its bytes until restart(), so the caller may still
    // ask before replacing them. A file another download holds is left as it
    // is (EWOULDBLOCK). 0, or the errno of the failure.
    int open_for_writing(const std::filesystem::path& path);
    bool is_open() const { return fd_ >= 0; }
    // Cuts the file to length 0 and writes from its start again.
    int restart();
    // Writes all of `data`; 0 or the errno of the failure.
    int write(const void* data, std::size_t size);
    // The file's length now; 0 when it is not open.
    std::uint64_t length() const;
    // Unlocks and closes; the file stays on disk.
    void close();
    // Removes the file that the last successful open_for_writing opened, if
    // its name still leads to that very file (the same inode, unchanged since
    // it was closed); never anything else. Closes it. True when removed.
    bool remove();

  private:
    int fd_ = -1;
    std::filesystem::path path_;  // of the last file opened
    struct stat identity_ {};     // of that file, when it was last closed
    bool opened_ = false;
};

}  // namespace corvale
