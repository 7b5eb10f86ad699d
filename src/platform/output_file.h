#pragma once

// The file a download writes. Errors are errno values, the cause codes that
// reach the user.

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

    // Creates the file, or cuts an existing one to length 0, for writing.
    // 0, or the errno of the failure.
    int open_for_writing(const std::filesystem::path& path);
    bool is_open() const { return fd_ >= 0; }
    int seek_to_start();
    // Writes all of `data`; 0 or the errno of the failure.
    int write(const void* data, std::size_t size);
    // The file's length now; 0 when it is not open.
    std::uint64_t length() const;
    void close();

  private:
    int fd_ = -1;
};

}  // namespace corvale
