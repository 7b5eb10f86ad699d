#include "platform/output_file.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "support/temporary_folder.h"

namespace corvale {
namespace {

namespace fs = std::filesystem;

void write_text(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A listening Unix socket's file; the descriptor stays open for the test.
int make_socket_file(const fs::path& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.native().copy(address.sun_path, sizeof address.sun_path - 1);
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
}

TEST(OutputFile, OnlyAMissingNameOrARegularFileIsOpened) {
    testing::Temporary_folder dir("corvale-output");
    write_text(dir / "outside", "keep me");
    write_text(dir / "full", "old bytes");
    fs::create_symlink(dir / "outside", dir / "link");
    fs::create_symlink(dir / "nowhere", dir / "dangling");
    fs::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    const int socket_fd = make_socket_file(dir / "socket");

    struct Row {
        fs::path path;
        int error;  // 0: opened
        const char* why;
    } rows[] = {
        {dir / "new", 0, "a missing name is created"},
        {dir / "full", 0, "a regular file is opened, its bytes kept until restart"},
        {dir / "link", ELOOP, "a symlink to a file is not followed"},
        {dir / "dangling", ELOOP, "a dangling symlink does not create its target"},
        {dir / "folder", EISDIR, "a folder"},
        {dir / "fifo", EINVAL, "a FIFO without a reader neither blocks nor opens"},
        {dir / "socket", EINVAL, "a socket"},
        {"/dev/null", EINVAL, "a device"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Output_file::check_target(row.path), row.error) << row.why;
        Output_file file;
        EXPECT_EQ(file.open_for_writing(row.path), row.error) << row.why;
        EXPECT_EQ(file.is_open(), row.error == 0) << row.why;
        EXPECT_EQ(file.length(), row.path == dir / "full" ? 9u : 0u) << row.why;
        EXPECT_FALSE(file.remove() && row.error != 0) << row.why << ": removed";
    }
    ::close(socket_fd);
    EXPECT_FALSE(fs::exists(dir / "new")) << "removed: this download created it";
    EXPECT_FALSE(fs::exists(dir / "full")) << "removed: this download opened it";
    EXPECT_EQ(testing::file_bytes(dir / "outside"), "keep me");
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
    EXPECT_TRUE(fs::is_socket(dir / "socket"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST(OutputFile, ASecondWriterIsRefusedAndChangesNothing) {
    testing::Temporary_folder dir("corvale-output");
    Output_file first;
    ASSERT_EQ(first.open_for_writing(dir / "f"), 0);
    ASSERT_EQ(first.write("abc", 3), 0);
    Output_file second;
    EXPECT_EQ(second.open_for_writing(dir / "f"), EWOULDBLOCK);
    EXPECT_FALSE(second.remove());
    EXPECT_EQ(testing::file_bytes(dir / "f"), "abc") << "neither cut nor deleted";
    first.close();
    EXPECT_EQ(second.open_for_writing(dir / "f"), 0) << "free again once closed";
}

TEST(OutputFile, RestartLeavesNothingOfTheEarlierWriting) {
    testing::Temporary_folder dir("corvale-output");
    Output_file file;
    ASSERT_EQ(file.open_for_writing(dir / "f"), 0);
    ASSERT_EQ(file.write("0123456789 and a long stale tail", 32), 0);
    ASSERT_EQ(file.restart(), 0);
    ASSERT_EQ(file.write("short", 5), 0);
    EXPECT_EQ(file.length(), 5u);
    file.close();
    EXPECT_EQ(testing::file_bytes(dir / "f"), "short");
}

TEST(OutputFile, RemovesOnlyTheFileItOpened) {
    testing::Temporary_folder dir("corvale-output");
    Output_file file;
    ASSERT_EQ(file.open_for_writing(dir / "f"), 0);
    file.close();
    // Someone else puts a file of their own under the name.
    fs::remove(dir / "f");
    write_text(dir / "f", "theirs");
    EXPECT_FALSE(file.remove());
    EXPECT_EQ(testing::file_bytes(dir / "f"), "theirs");

    Output_file never_opened;
    EXPECT_FALSE(never_opened.remove());
}

}  // namespace
}  // namespace corvale
