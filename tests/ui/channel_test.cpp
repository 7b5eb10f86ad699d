// The single-instance channel at start-up: names that are taken, folders that
// do not fit, and programs of another user on either end of the socket.

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QTest>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>

#include "corvale/text_ids.h"
#include "platform/file_io.h"
#include "platform/string_table.h"
#include "support/temporary_folder.h"
#include "ui/window_fixture.h"

using corvale::testing::k_english;
using corvale::testing::Session;
using corvale::testing::settle;
namespace texts = corvale::texts;

namespace {

namespace fs = std::filesystem;

constexpr uid_t k_nobody = 65534;

// The start of the message that a start without the channel shows, up to and
// including the beginning of its reason.
std::wstring runs_alone(const std::wstring& reason) {
    const std::wstring format = corvale::load_string(texts::runs_not_alone);
    return format.substr(0, format.find(L"%1")) + reason;
}

bool starts_with(const std::wstring& text, const std::wstring& start) {
    return text.compare(0, start.size(), start) == 0;
}

sockaddr_un unix_address(const fs::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.native().copy(address.sun_path, sizeof address.sun_path - 1);
    return address;
}

// The variables a row changes, as they were before it.
class Saved_environment {
  public:
    Saved_environment() : runtime_(qgetenv("XDG_RUNTIME_DIR")), temporary_(qgetenv("TMPDIR")) {}
    ~Saved_environment() {
        restore("XDG_RUNTIME_DIR", runtime_);
        restore("TMPDIR", temporary_);
    }

  private:
    static void restore(const char* name, const QByteArray& value) {
        if (value.isNull()) {
            qunsetenv(name);
        } else {
            qputenv(name, value);
        }
    }

    QByteArray runtime_;
    QByteArray temporary_;
};

// A folder that every user may write in, sticky as /tmp is.
class Shared_folder {
  public:
    Shared_folder()
        : path_(fs::temp_directory_path() / ("corvale-shared-" + std::to_string(::getpid()))) {
        fs::remove_all(path_);
        fs::create_directory(path_);
        ::chmod(path_.c_str(), 01777);
    }
    ~Shared_folder() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

// A child process that becomes user and group 65534. It runs `as_this_user`
// first and `as_nobody` after the change; both get the write end of a report
// pipe and the read end of a go-ahead pipe. This process has threads, so the
// child uses async-signal-safe calls only.
class Other_user {
  public:
    using Step = std::function<bool(int report, int go)>;

    Other_user(const Step& as_this_user, const Step& as_nobody) {
        if (::pipe(report_) != 0 || ::pipe(go_) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(report_[0]);
            ::close(go_[1]);
            const bool ok = as_this_user(report_[1], go_[0]) && ::setgroups(0, nullptr) == 0 &&
                            ::setgid(k_nobody) == 0 && ::setuid(k_nobody) == 0;
            const char status = ok ? 'R' : 'N';
            (void)!::write(report_[1], &status, 1);
            ::_exit(ok && as_nobody(report_[1], go_[0]) ? 0 : 1);
        }
        ::close(report_[1]);
        ::close(go_[0]);
        changed_ = pid_ > 0 && next_status() == 'R';
    }
    ~Other_user() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(report_[0]);
        ::close(go_[1]);
    }
    Other_user(const Other_user&) = delete;
    Other_user& operator=(const Other_user&) = delete;

    // False when the child could not become the other user (or reach what
    // it was to use as that user).
    bool changed() const { return changed_; }

    // The next status byte the child writes; 0 when it ended without one.
    char next_status() {
        char status = 0;
        return ::read(report_[0], &status, 1) == 1 ? status : 0;
    }
    void go_ahead() {
        const char go = 'g';
        (void)!::write(go_[1], &go, 1);
    }
    // The child has reported (or ended) since.
    bool reported() const {
        pollfd wait{report_[0], POLLIN, 0};
        return ::poll(&wait, 1, 0) == 1;
    }
    // What the child reports: `count` numbers.
    std::vector<int> report(std::size_t count) {
        std::vector<int> numbers(count, -1);
        const auto size = static_cast<ssize_t>(count * sizeof(int));
        if (::read(report_[0], numbers.data(), static_cast<std::size_t>(size)) != size) {
            numbers.assign(count, -1);
        }
        return numbers;
    }

  private:
    pid_t pid_ = -1;
    int report_[2] = {-1, -1};
    int go_[2] = {-1, -1};
    bool changed_ = false;
};

// A listening socket at `path`, bound before (so its file is the test user's)
// or after the child becomes user 65534. When told to go ahead it reports
// how many connections it got and how many bytes they brought.
std::unique_ptr<Other_user> squatter(const fs::path& path, bool bind_first) {
    const sockaddr_un address = unix_address(path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const auto bind_socket = [fd, address] {
        return ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    };
    auto child = std::make_unique<Other_user>(
        [&](int, int) { return !bind_first || bind_socket(); },
        [&](int report, int go) {
            if ((!bind_first && !bind_socket()) || ::listen(fd, 8) != 0) {
                return false;
            }
            const char ready = 'L';
            char go_ahead = 0;
            if (::write(report, &ready, 1) != 1 || ::read(go, &go_ahead, 1) != 1) {
                return false;
            }
            int counts[2] = {0, 0};
            ::fcntl(fd, F_SETFL, O_NONBLOCK);
            for (int peer; (peer = ::accept(fd, nullptr, nullptr)) >= 0; ::close(peer)) {
                ++counts[0];
                char buffer[256];
                for (ssize_t n; (n = ::read(peer, buffer, sizeof buffer)) > 0;) {
                    counts[1] += static_cast<int>(n);
                }
            }
            return ::write(report, counts, sizeof counts) == sizeof counts;
        });
    ::close(fd);
    return child;
}

}  // namespace

class Channel_test : public QObject, private corvale::testing::Window_fixture {
    Q_OBJECT

    fs::path runtime_folder() const { return qgetenv("XDG_RUNTIME_DIR").toStdString(); }
    static fs::path socket_in(const fs::path& folder, const QString& name) {
        return folder / (name + ".socket").toStdString();
    }

  private slots:
    void cleanup() { forget_test(); }

    // When this start can neither reach a running instance nor become the one
    // that others reach, it says why and runs; so does every start after it.
    // A socket of the user's own that nobody answers on is taken over.
    void a_start_without_the_channel_says_why_and_runs() {
        struct Row {
            const char* why;
            QString name_end;
            // Prepares the socket's path; gives the reason expected (empty:
            // the start takes the channel).
            std::function<std::wstring(const fs::path& socket)> prepare;
        } rows[] = {
            {"a socket left behind", "",
             [](const fs::path& socket) {
                 const sockaddr_un address = unix_address(socket);
                 const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
                 ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
                 ::close(fd);
                 return std::wstring();
             }},
            {"a plain file", "",
             [](const fs::path& socket) {
                 std::ofstream(socket) << "mine";
                 return corvale::from_path(socket) + L": not a socket";
             }},
            {"a name too long for a socket", QString(120, 'n'),
             [](const fs::path& socket) { return corvale::from_path(socket) + L": "; }},
            {"no private folder", "",
             [this](const fs::path&) {
                 const fs::path open = dir_.filePath("open").toStdString();
                 const fs::path fallback =
                     dir_.filePath(QString("corvale-%1").arg(::geteuid())).toStdString();
                 for (const fs::path& folder : {open, fallback}) {
                     fs::create_directory(folder);
                     ::chmod(folder.c_str(), 0755);
                 }
                 qputenv("XDG_RUNTIME_DIR", open.c_str());
                 qputenv("TMPDIR", dir_.path().toLocal8Bit());
                 return corvale::from_path(fallback) + L": open to other users";
             }},
        };
        for (const Row& row : rows) {
            const Saved_environment saved;
            const QString name = instance_name() + row.name_end;
            const fs::path socket = socket_in(runtime_folder(), name);
            const std::wstring reason = row.prepare(socket);
            Session first(profile_path(), name, k_english);
            QVERIFY2(first.start(), row.why);
            QVERIFY2(first.window().isVisible(), row.why);
            Session second(profile_path(), name, k_english);
            if (reason.empty()) {
                QVERIFY2(first.prompter.shown().empty(), row.why);
                QVERIFY2(!second.start(), row.why);
                continue;
            }
            QVERIFY2(second.start(), row.why);
            for (Session* s : {&first, &second}) {
                QCOMPARE(s->prompter.shown().size(), std::size_t(1));
                QVERIFY2(starts_with(s->prompter.shown()[0].text, runs_alone(reason)),
                         corvale::encode_utf8(s->prompter.shown()[0].text).c_str());
            }
            if (fs::is_regular_file(socket)) {
                QCOMPARE(QByteArray::fromStdString(corvale::testing::file_bytes(socket)),
                         QByteArray("mine"));
                fs::remove(socket);
            }
        }
    }

    // Another user's program listening where the channel would be hears
    // nothing: neither its own socket nor one of the user's that it took over
    // after binding it under the user's name.
    void a_squatter_of_another_user_hears_nothing() {
        const Shared_folder shared;
        struct Row {
            const char* why;
            bool bind_first;
            std::wstring reason;
            int connections;
        } rows[] = {
            {"the user's socket file, another user's listener", true,
             L"answered by a program of another user", 1},
            {"another user's socket", false, L"a socket of another user", 0},
        };
        for (const Row& row : rows) {
            const QString name = instance_name();
            const fs::path socket = socket_in(shared.path(), name);
            const auto child = squatter(socket, row.bind_first);
            if (!child->changed()) {
                QSKIP("this test cannot run a process as user 65534 (it needs root)");
            }
            QCOMPARE(child->next_status(), 'L');  // listening
            Session s(profile_path(), name, k_english);
            s.app.set_channel_folder(shared.path());
            QVERIFY2(s.start(), row.why);
            QVERIFY2(s.window().isVisible(), row.why);
            QCOMPARE(s.prompter.shown().size(), std::size_t(1));
            QCOMPARE(s.prompter.shown()[0].text,
                     corvale::format_message(texts::runs_not_alone,
                                             {corvale::from_path(socket) + L": " + row.reason}));
            child->go_ahead();
            QCOMPARE(child->report(2), (std::vector<int>{row.connections, 0}));
            QVERIFY2(fs::is_socket(fs::symlink_status(socket)), "the squatter's file is kept");
        }
    }

    // A running instance drops another user's program without reading what
    // it sends; a start of its own user is still heard afterwards.
    void the_running_instance_does_not_hear_another_user() {
        const Shared_folder shared;
        const QString name = instance_name();
        const fs::path socket = socket_in(shared.path(), name);
        Session first(profile_path(), name, k_english);
        first.app.set_channel_folder(shared.path());
        QVERIFY(first.start());
        first.window().hide();
        const QString title = first.window().windowTitle();
        // As a careless umask would leave it: anyone may connect.
        ::chmod(socket.c_str(), 0777);

        const sockaddr_un address = unix_address(socket);
        const std::string request =
            "raise\nopen " +
            QByteArray::fromStdString(corvale::to_path(sample_list()).native())
                .toPercentEncoding("/")
                .toStdString() +
            "\n";
        Other_user child([](int, int) { return true; },
                         [&](int report, int) {
                             const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
                             int result[1] = {-1};
                             if (::connect(fd, reinterpret_cast<const sockaddr*>(&address),
                                           sizeof address) == 0) {
                                 (void)!::write(fd, request.data(), request.size());
                                 ::shutdown(fd, SHUT_WR);
                                 char buffer[64];
                                 while (::read(fd, buffer, sizeof buffer) > 0) {
                                 }
                                 result[0] = 1;  // the instance hung up
                             }
                             return ::write(report, result, sizeof result) == sizeof result;
                         });
        if (!child.changed()) {
            QSKIP("this test cannot run a process as user 65534 (it needs root)");
        }
        QTRY_VERIFY(child.reported());
        QCOMPARE(child.report(1), std::vector<int>{1});
        settle(first.window());
        QVERIFY(!first.window().isVisible());
        QCOMPARE(first.window().windowTitle(), title);
        QVERIFY(first.prompter.shown().empty());

        Session second(profile_path(), name, k_english);
        second.app.set_channel_folder(shared.path());
        QVERIFY(!second.start());
        QTRY_VERIFY(first.window().isVisible());
    }
};

QTEST_MAIN(Channel_test)
#include "channel_test.moc"
