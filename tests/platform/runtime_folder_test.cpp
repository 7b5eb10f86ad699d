#include "platform/runtime_folder.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <optional>
#include <string>

#include "platform/file_io.h"
#include "platform/wide_text.h"
#include "support/temporary_folder.h"

namespace corvale {
namespace {

namespace fs = std::filesystem;

constexpr uid_t k_nobody = 65534;

fs::path make_folder(const fs::path& path, mode_t mode) {
    fs::create_directory(path);
    ::chmod(path.c_str(), mode);
    return path;
}

mode_t mode_of(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

bool ends_with(const std::wstring& text, const std::wstring& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST(RuntimeFolder, OnlyAPrivateFolderOfTheUsersOwnIsUsed) {
    testing::Temporary_folder dir("corvale-runtime");
    const uid_t me = ::geteuid();
    const fs::path good = make_folder(dir / "good", 0700);
    const fs::path open = make_folder(dir / "open", 0755);
    const fs::path group = make_folder(dir / "group", 0710);
    fs::create_directory_symlink(good, dir / "link");
    std::ofstream(dir / "plain") << "x";
    // Only root can give a folder away; elsewhere that row is left out.
    const fs::path foreign = make_folder(dir / "foreign", 0700);
    const uid_t other = me == k_nobody ? k_nobody - 1 : k_nobody;
    const bool gave_away = ::chown(foreign.c_str(), other, other) == 0;
    // A fallback made earlier, by this user or (as far as the check can tell)
    // by someone else.
    const fs::path made = make_folder(dir / "made", 0700);
    const fs::path made_open = make_folder(dir / "made-open", 0755);

    const std::wstring no_such = system_error_text(ENOENT);

    struct Row {
        const char* why;
        std::optional<std::string> runtime;  // XDG_RUNTIME_DIR; none: unset
        fs::path fallback;
        uid_t user;
        fs::path chosen;     // empty: none
        std::wstring fault;  // how the fault ends, when none is chosen
    } rows[] = {
        {"a private runtime folder", good.native(), dir / "f1", me, good, {}},
        {"unset", std::nullopt, dir / "f2", me, dir / "f2", {}},
        {"empty", "", dir / "f3", me, dir / "f3", {}},
        {"a relative path", "good", dir / "f4", me, dir / "f4", {}},
        {"a symlink to a private folder", (dir / "link").native(), dir / "f5", me, dir / "f5", {}},
        {"open to everyone", open.native(), dir / "f6", me, dir / "f6", {}},
        {"open to the group", group.native(), dir / "f7", me, dir / "f7", {}},
        {"a plain file", (dir / "plain").native(), dir / "f8", me, dir / "f8", {}},
        {"missing", (dir / "gone").native(), dir / "f9", me, dir / "f9", {}},
        {"a fallback of the user's own", std::nullopt, made, me, made, {}},
        {"a fallback open to others", std::nullopt, made_open, me, {}, L"open to other users"},
        {"a fallback that is a symlink", std::nullopt, dir / "link", me, {}, L"a symbolic link"},
        {"a fallback that is a file", std::nullopt, dir / "plain", me, {}, L"not a folder"},
        {"a fallback without its parent", std::nullopt, dir / "gone" / "f", me, {}, no_such},
        {"made by another user", good.native(), made, me + 1, {}, L"owned by another user"},
    };
    for (const Row& row : rows) {
        const Runtime_folder result = choose_runtime_folder(
            row.runtime ? row.runtime->c_str() : nullptr, row.fallback, row.user);
        EXPECT_EQ(result.path, row.chosen) << row.why;
        if (row.chosen.empty()) {
            EXPECT_TRUE(ends_with(result.fault, from_path(row.fallback) + L": " + row.fault))
                << row.why << ": " << encode_utf8(result.fault);
        } else {
            EXPECT_EQ(result.fault, L"") << row.why;
            EXPECT_EQ(mode_of(row.chosen), 0700u) << row.why;
        }
    }
    EXPECT_FALSE(fs::exists(dir / "f1")) << "no fallback is made when the runtime folder fits";
    EXPECT_EQ(mode_of(made_open), 0755u) << "a fallback's mode is never changed";
    if (gave_away) {
        EXPECT_EQ(choose_runtime_folder(foreign.c_str(), dir / "f10", me).path, dir / "f10");
        EXPECT_TRUE(ends_with(choose_runtime_folder(nullptr, foreign, me).fault,
                              L": owned by another user"));
    }
}

// A socket's file at `path`, bound but not listening.
int bind_socket(const fs::path& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.native().copy(address.sun_path, sizeof address.sun_path - 1);
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
}

TEST(RuntimeFolder, WhatLiesAtASocketsPathIsSeenWithoutFollowingIt) {
    testing::Temporary_folder dir("corvale-socket-path");
    const uid_t me = ::geteuid();
    const int fd = bind_socket(dir / "socket");
    fs::create_symlink(dir / "socket", dir / "link");
    std::ofstream(dir / "plain") << "x";

    using K = Socket_path_state;
    struct Row {
        fs::path path;
        uid_t user;
        Socket_path_state::Kind kind;
        std::wstring fault;
    } rows[] = {
        {dir / "none", me, K::free, L""},
        {dir / "socket", me, K::own_socket, L""},
        {dir / "socket", me + 1, K::foreign_socket, L"a socket of another user"},
        {dir / "link", me, K::taken, L"not a socket"},
        {dir / "plain", me, K::taken, L"not a socket"},
        {dir.path(), me, K::taken, L"not a socket"},
        {dir / "plain" / "x", me, K::taken, system_error_text(ENOTDIR)},
    };
    for (const Row& row : rows) {
        const Socket_path_state state = inspect_socket_path(row.path, row.user);
        EXPECT_EQ(state.kind, row.kind) << row.path;
        EXPECT_EQ(state.fault, row.fault.empty() ? L"" : from_path(row.path) + L": " + row.fault)
            << row.path;
    }
    ::close(fd);
}

}  // namespace
}  // namespace corvale
