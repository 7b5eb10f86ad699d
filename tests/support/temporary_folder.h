#pragma once

// Files for tests: a folder of the test's own under the system's temporary
// folder, removed with everything in it when the test ends; where the test
// may mount one, a small tmpfs in it for full-disk cases; a file's bytes.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace corvale::testing {

// All bytes of a file; empty when it cannot be read.
inline std::string file_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class Temporary_folder {
  public:
    explicit Temporary_folder(const std::string& prefix) {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                (prefix + "-" + std::to_string(::getpid()) + "-" + test->name());
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~Temporary_folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    Temporary_folder(const Temporary_folder&) = delete;
    Temporary_folder& operator=(const Temporary_folder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

// A tmpfs of `bytes` at `where` (created if missing) while the object lives;
// `flags` as mount(2) takes them (MS_RDONLY: nobody writes in it, not even
// the superuser). mounted() is false where this process may not mount (no
// privilege).
class Small_tmpfs {
  public:
    Small_tmpfs(const std::filesystem::path& where, std::size_t bytes, unsigned long flags = 0)
        : where_(where) {
        std::filesystem::create_directories(where_);
        const std::string options = "size=" + std::to_string(bytes);
        mounted_ = ::mount("tmpfs", where_.c_str(), "tmpfs", flags, options.c_str()) == 0;
    }
    ~Small_tmpfs() {
        if (mounted_) {
            ::umount2(where_.c_str(), MNT_DETACH);
        }
    }
    Small_tmpfs(const Small_tmpfs&) = delete;
    Small_tmpfs& operator=(const Small_tmpfs&) = delete;

    bool mounted() const { return mounted_; }

  private:
    std::filesystem::path where_;
    bool mounted_ = false;
};

}  // namespace corvale::testing
