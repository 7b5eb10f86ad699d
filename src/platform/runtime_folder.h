#pragma once

// Where a user's private sockets live, and how what lies at a socket's path
// and who answers on it are judged. A file in a folder that other users can
// write may have been planted there by one of them: it is never removed,
// followed or talked to.

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

namespace corvale {

// Why `folder` cannot hold files private to user `uid`; empty when it can: it
// is a folder itself (not a symlink to one), owned by `uid`, and neither its
// group nor others have any access to it.
std::wstring private_folder_fault(const std::filesystem::path& folder, uid_t uid);

struct Runtime_folder {
    std::filesystem::path path;  // empty when no folder is fit
    std::wstring fault;          // why, when `path` is empty
};

// The folder for user `uid`'s sockets: `runtime_dir` (the value of
// XDG_RUNTIME_DIR, null when unset) when it is an absolute path to a private
// folder; else `fallback`, made with mode 0700 when it is missing. A fallback
// that exists already is used only when it is private: its mode is never
// changed, since someone else may have made it.
Runtime_folder choose_runtime_folder(const char* runtime_dir, const std::filesystem::path& fallback,
                                     uid_t uid);

// choose_runtime_folder for this process: its environment, its user, and
// corvale-<uid> in the temporary folder as the fallback.
Runtime_folder user_runtime_folder();

// What lies at a socket's path, seen without following a symlink.
struct Socket_path_state {
    enum Kind { free, own_socket, foreign_socket, taken } kind = free;
    std::wstring fault;  // for foreign_socket and taken: what is there
};
Socket_path_state inspect_socket_path(const std::filesystem::path& path, uid_t uid);

// The user of the process at the other end of a connected local socket;
// none when the system cannot tell.
std::optional<uid_t> peer_user(int socket_fd);

}  // namespace corvale
