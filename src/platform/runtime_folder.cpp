#include "platform/runtime_folder.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/file_io.h"

namespace corvale {

namespace {

std::wstring fault(const std::filesystem::path& path, const std::wstring& what) {
    return from_path(path) + L": " + what;
}

}  // namespace

std::wstring private_folder_fault(const std::filesystem::path& folder, uid_t uid) {
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) {
        return fault(folder, system_error_text(errno));
    }
    if (S_ISLNK(info.st_mode)) {
        return fault(folder, L"a symbolic link");
    }
    if (!S_ISDIR(info.st_mode)) {
        return fault(folder, L"not a folder");
    }
    if (info.st_uid != uid) {
        return fault(folder, L"owned by another user");
    }
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        return fault(folder, L"open to other users");
    }
    return {};
}

Runtime_folder choose_runtime_folder(const char* runtime_dir, const std::filesystem::path& fallback,
                                     uid_t uid) {
    if (runtime_dir != nullptr) {
        const std::filesystem::path runtime(runtime_dir);
        if (runtime.is_absolute() && private_folder_fault(runtime, uid).empty()) {
            return {runtime, {}};
        }
    }
    if (::mkdir(fallback.c_str(), 0700) != 0 && errno != EEXIST) {
        return {{}, fault(fallback, system_error_text(errno))};
    }
    std::wstring why = private_folder_fault(fallback, uid);
    if (!why.empty()) {
        return {{}, std::move(why)};
    }
    return {fallback, {}};
}

Runtime_folder user_runtime_folder() {
    std::error_code error;
    std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    if (error || !temporary.is_absolute()) {
        temporary = "/tmp";
    }
    // The effective user owns what this process creates and is the one its
    // peers see.
    const uid_t uid = ::geteuid();
    return choose_runtime_folder(std::getenv("XDG_RUNTIME_DIR"),
                                 temporary / ("corvale-" + std::to_string(uid)), uid);
}

Socket_path_state inspect_socket_path(const std::filesystem::path& path, uid_t uid) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) {
            return {};
        }
        return {Socket_path_state::taken, fault(path, system_error_text(errno))};
    }
    if (!S_ISSOCK(info.st_mode)) {
        return {Socket_path_state::taken, fault(path, L"not a socket")};
    }
    if (info.st_uid != uid) {
        return {Socket_path_state::foreign_socket, fault(path, L"a socket of another user")};
    }
    return {Socket_path_state::own_socket, {}};
}

std::optional<uid_t> peer_user(int socket_fd) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (socket_fd < 0 ||
        ::getsockopt(socket_fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
        size != sizeof credentials) {
        return std::nullopt;
    }
    return credentials.uid;
}

}  // namespace corvale
