#pragma once

// Whole-file reading with a size limit, and writing a file so that the file
// it replaces survives every failure.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace corvale {

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

// Reads the whole file unless it is longer than `max_size` bytes.
Read_result read_whole_file(const std::filesystem::path& path, std::uint64_t max_size);

// Writes a new version of a file beside it and puts it in the file's place
// only when all of it has been written and flushed to disk. Until commit()
// succeeds the old file is untouched; a writer that is not committed removes
// its temporary file.
class Replacing_file_writer {
  public:
    enum class Open_status { ok, folder_missing, target_not_replaceable, cannot_create };

    explicit Replacing_file_writer(std::filesystem::path target);
    ~Replacing_file_writer();
    Replacing_file_writer(const Replacing_file_writer&) = delete;
    Replacing_file_writer& operator=(const Replacing_file_writer&) = delete;

    Open_status open();
    // 0, or the errno of the failure.
    int write(std::string_view bytes);
    int commit();

  private:
    void discard();

    std::filesystem::path target_;
    std::filesystem::path temporary_;
    int fd_ = -1;
};

}  // namespace corvale
