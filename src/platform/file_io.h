#pragma once

// Whole-file reading with a size limit, and writing a file so that the file
// it replaces survives every failure.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace corvale {

class File_lock;

// Paths are wide text in the core and bytes on disk; the two conversions are
// exact inverses, also for names that are not UTF-8 (see decode_native).
std::filesystem::path to_path(std::wstring_view text);
std::wstring from_path(const std::filesystem::path& path);

// The system's text for an errno value, as the user reads it.
std::wstring system_error_text(int error);

// Writes all of `size` bytes to the descriptor; 0, or the errno of the failure.
int write_all(int fd, const void* data, std::size_t size);

enum class Read_status { ok, open_failed, too_big, read_failed };

struct Read_result {
    Read_status status = Read_status::ok;
    std::string bytes;
    int error = 0;  // errno of the failure
};

// Reads the whole file unless it is longer than `max_size` bytes. Anything
// but a regular file (a folder, a device, a FIFO) fails to open, at once.
Read_result read_whole_file(const std::filesystem::path& path, std::uint64_t max_size);

// Writes a new version of a file beside it and puts it in the file's place
// only when all of it has been written and flushed to disk. Until commit()
// succeeds the old file is untouched; a writer that is not committed removes
// its temporary file. The new file keeps the old one's permissions.
class Replacing_file_writer {
  public:
    // target_not_replaceable: the target is there but is no regular file, or
    // the user may not write it (a read-only file is never replaced, even
    // though its folder would allow it).
    enum class Open_status { ok, folder_missing, target_not_replaceable, cannot_create };

    explicit Replacing_file_writer(std::filesystem::path target);
    ~Replacing_file_writer();
    Replacing_file_writer(const Replacing_file_writer&) = delete;
    Replacing_file_writer& operator=(const Replacing_file_writer&) = delete;

    Open_status open();
    // 0, or the errno of the failure.
    int write(std::string_view bytes);
    // With `new_lock`, the new file is locked into it before it takes the
    // target's place, so that whoever held the old file's lock can let it go
    // afterwards without a moment in which the target is unlocked. A target
    // that did not exist at open() is not written over when another program
    // created it meanwhile (EEXIST).
    int commit(File_lock* new_lock = nullptr);

  private:
    int put_in_place();
    void discard();

    std::filesystem::path target_;
    std::filesystem::path temporary_;
    int fd_ = -1;
    bool replaces_ = false;  // the target existed at open()
};

}  // namespace corvale
