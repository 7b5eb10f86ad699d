#include <gtest/gtest.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>

#include "cli/cli.h"
#include "cli/interrupt.h"
#include "cli/terminal_check.h"
#include "corvale/text_ids.h"
#include "fakehost/fake_host.h"
#include "model/list_file.h"
#include "platform/output_file.h"
#include "platform/profile.h"
#include "platform/string_table.h"
#include "platform/wide_text.h"
#include "support/scripted_prompter.h"
#include "support/temporary_folder.h"

namespace corvale {
namespace {

namespace fs = std::filesystem;
using fakehost::Reply;

struct Result {
    int status;
    std::string out, err;
};

// The real CLI against the local file host, reached as the proxy of the
// environment with the program's default host names.
class TransferCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        scenario.set_server("rs1.rapidshare.com");
        fakehost::clear_proxy_environment();
        ::setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(host.port())).c_str(), 1);
        dir = fs::temp_directory_path() /
              ("corvale-transfer-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        ::unsetenv("http_proxy");
        fs::remove_all(dir);
    }

  public:
    Result run(std::vector<std::string> args) {
        std::istringstream in;
        std::ostringstream out, err;
        const int status = run_cli(args, in, out, err, false);
        return {status, out.str(), err.str()};
    }

    Result download(const std::string& id, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {
            "download",    "http://rapidshare.com/files/" + id + "/f.bin",
            "--folder",    dir.string(),
            "--second-ms", "1"};
        args.insert(args.end(), extra.begin(), extra.end());
        return run(args);
    }

    std::string file_bytes() const { return testing::file_bytes(dir / "f.bin"); }

    fakehost::File_host_scenario scenario;
    fakehost::Fake_host host{[this](const fakehost::Request& r) { return scenario.handle(r); }};
    fs::path dir;
};

// The trace without progress and status lines: the numbers posted, in order.
std::vector<std::string> numbers_of(const std::string& trace) {
    std::vector<std::string> lines;
    std::istringstream in(trace);
    for (std::string line; std::getline(in, line);) {
        if (!line.starts_with("UM_PROGRESS") && !line.starts_with("UM_STATUS")) {
            lines.push_back(line);
        }
    }
    return lines;
}

TEST_F(TransferCommandsTest, DownloadTracesTheNotificationsAndWritesTheFile) {
    scenario.api_replies("123", {Reply{200, "ERROR: x lot of users. Retry in 1 seconds<script>"},
                                 Reply{200, "DL:{server},AUTH,-4,x"}});
    scenario.file("123", Reply{.pattern_size = 1500000});
    const Result r = download("123", {"--trace"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(file_bytes() == fakehost::pattern_bytes(0, 1500000));
    std::vector<std::string> expected = {
        "UM_RETRY_COUNT 0", "UM_CONTENT_LENGTH 49",
        "UM_LAST_ERROR 0\tCurrently a lot of users are downloading."};
    for (int left = 5; left >= 0; --left) {
        expected.push_back("UM_WAIT " + std::to_string(left));
    }
    expected.push_back("UM_ERROR 15\tCan't find direct file-link");
    for (int left = 9; left >= 0; --left) {
        expected.push_back("UM_WAIT " + std::to_string(left));
    }
    expected.insert(expected.end(), {"UM_RETRY_COUNT 1", "UM_CONTENT_LENGTH 31", "UM_WAIT 0",
                                     "UM_CONTENT_LENGTH 1500000", "UM_FILE_SIZE 1500000",
                                     "UM_FINISHED 0\tFinished Downloading File"});
    EXPECT_EQ(numbers_of(r.out), expected);
}

TEST_F(TransferCommandsTest, DownloadFailuresAndTheirExitStatus) {
    scenario.api_replies("404", {Reply{404, "no"}});
    scenario.api_replies("123", {Reply{200, "DL:{server},AUTH,-5,x"}});
    scenario.file("123", Reply{200, "new"});
    fs::create_directories(dir / "sub");
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string err;
    } rows[] = {
        {{"download", "http://rapidshare.com/files/404/f.bin", "--folder", dir.string(),
          "--second-ms", "1"},
         1,
         "Download retries have been exceeded: failed to get file. Try again later.\n"},
        {{"download", "http://example.com/files/1/f.bin", "--folder", dir.string()},
         1,
         "The link syntax is invalid\n"},
        {{"download", "http://rapidshare.com/files/1/", "--folder", dir.string()},
         2,
         "Can't extract file name from file URL\n"},
        {{"download", "http://rapidshare.com/files/123/f.bin", "--folder", (dir / "sub").string(),
          "--name", "../f.bin"},
         2,
         "Invalid file name\n"},
        {{"download", "http://rapidshare.com/files/1/f", "--folder", (dir / "none").string()},
         1,
         "An error occured while saving the file: \n " + (dir / "none" / "f").string() +
             " \n Check if the file path is correct."},
        {{"download", "u", "--second-ms", "0"}, 2, "corvale-cli: --second-ms takes 1 to 3600000"},
        {{"download", "u", "--second-ms", " 5"}, 2, "corvale-cli: --second-ms takes 1 to 3600000"},
        {{"download", "u", "--second-ms", "+5"}, 2, "corvale-cli: --second-ms takes 1 to 3600000"},
        {{"download", "u", "--limit-rate", "1.5M"},
         2,
         "corvale-cli: --limit-rate takes bytes per second, with K, M or G after them"},
        {{"queue", "l.zrv", "--all", "--limit-rate", "fast"},
         2,
         "corvale-cli: --limit-rate takes bytes per second, with K, M or G after them"},
        {{"download"}, 2, "corvale-cli: expected one URL"},
    };
    for (const Row& row : rows) {
        const Result r = run(row.args);
        EXPECT_EQ(r.status, row.status) << row.err;
        EXPECT_EQ(r.err.substr(0, row.err.size()), row.err);
    }
    EXPECT_FALSE(fs::exists(dir / "f.bin")) << "failed downloads leave no empty file";
}

TEST_F(TransferCommandsTest, ReplacesAnExistingFileOnlyWhenTold) {
    scenario.api_replies("123", {Reply{200, "DL:{server},AUTH,-5,x"}});
    scenario.file("123", Reply{200, "new"});
    std::ofstream(dir / "f.bin") << "old";
    const Result refused = download("123");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "The file '" + (dir / "f.bin").string() +
                               "' already exists.\nDo you want to replace it?\n");
    EXPECT_EQ(file_bytes(), "old");
    EXPECT_EQ(download("123", {"--yes"}).status, 0);
    EXPECT_EQ(file_bytes(), "new");
}

TEST_F(TransferCommandsTest, InterruptCancelsAndDropsThePartialFileUnlessKept) {
    struct Row {
        std::vector<std::string> extra;
        bool kept;
        int signal;  // 0: as if Ctrl-C was pressed
    } rows[] = {
        {{}, false, 0},
        {{"--keep-partial"}, true, 0},
        {{}, false, SIGTERM},
        {{"--keep-partial"}, true, SIGHUP},
    };
    for (const Row& row : rows) {
        scenario.api_replies("777", {Reply{200, "DL:{server},AUTH,-5,x"}});
        scenario.file("777", Reply{.pattern_size = 8000000, .pace = std::chrono::milliseconds(20)});
        const std::size_t before = host.requests().size();
        std::atomic<bool> done{false};
        std::thread presser([&] {
            // Press once the file is on its way and a batch has been written.
            std::error_code ignored;
            while (!done && (host.requests().size() < before + 2 ||
                             fs::file_size(dir / "f.bin", ignored) == 0 || ignored)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            if (row.signal != 0) {
                ::kill(::getpid(), row.signal);
            } else {
                Interrupt_guard::raise_for_test();
            }
        });
        const Result r = download("777", row.extra);
        done = true;
        presser.join();
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "Download canceled\n");
        EXPECT_EQ(fs::exists(dir / "f.bin"), row.kept);
        fs::remove(dir / "f.bin");
    }
}

TEST_F(TransferCommandsTest, SpecialFilesAndLinksAreNeverWritten) {
    scenario.api_replies("123", {Reply{200, "DL:{server},AUTH,-5,x"}});
    scenario.file("123", Reply{200, "new"});
    testing::Temporary_folder outside("corvale-outside");
    std::ofstream(outside / "mine") << "mine";
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    const int socket_fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    (dir / "socket").native().copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(socket_fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    fs::create_symlink(outside / "created", dir / "dangling");
    fs::create_symlink(outside / "mine", dir / "link");
    fs::create_directory(dir / "folder");
    for (const char* name : {"fifo", "socket", "dangling", "link", "folder"}) {
        const Result r = download("123", {"--name", name, "--yes"});
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_EQ(r.err.substr(0, 40), "An error occured while saving the file: ") << name;
    }
    ::close(socket_fd);
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
    EXPECT_TRUE(fs::is_socket(dir / "socket"));
    EXPECT_TRUE(fs::is_symlink(dir / "dangling"));
    EXPECT_FALSE(fs::exists(outside / "created")) << "nothing made outside the folder";
    EXPECT_EQ(testing::file_bytes(outside / "mine"), "mine");
    EXPECT_TRUE(fs::is_directory(dir / "folder"));
}

TEST_F(TransferCommandsTest, ASecondDownloadOfTheSameFileIsRefused) {
    scenario.api_replies("123", {Reply{200, "DL:{server},AUTH,-5,x"}});
    scenario.file("123", Reply{200, "new"});
    Output_file first;  // another download writing the file now
    ASSERT_EQ(first.open_for_writing(dir / "f.bin"), 0);
    ASSERT_EQ(first.write("theirs", 6), 0);
    const Result r = download("123", {"--yes"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.substr(0, 40), "An error occured while saving the file: ");
    EXPECT_EQ(testing::file_bytes(dir / "f.bin"), "theirs") << "neither cut, written nor deleted";
}

TEST_F(TransferCommandsTest, HowAnEndedDownloadLeavesItsFile) {
    struct Row {
        Reply file;
        std::vector<std::string> extra;
        int status;
        std::optional<std::string> left;  // none: no file
        const char* why;
    } rows[] = {
        {Reply{200, ""}, {}, 0, "", "a finished empty file is kept"},
        {Reply{200, "0123456789"}, {}, 0, "0123456789", "a finished file"},
        {Reply{.pattern_size = 600000, .drop_after = 300000},
         {},
         1,
         std::nullopt,
         "closed mid-body every time: the partial file is dropped"},
        {Reply{.pattern_size = 600000, .drop_after = 300000},
         {"--keep-partial"},
         1,
         fakehost::pattern_bytes(0, 286720),
         "kept when asked: what was written, the first batch"},
    };
    for (const Row& row : rows) {
        scenario.api_replies("123", {Reply{200, "DL:{server},AUTH,-5,x"}});
        scenario.file("123", row.file);
        const Result r = download("123", row.extra);
        EXPECT_EQ(r.status, row.status) << row.why << ": " << r.err;
        EXPECT_EQ(fs::exists(dir / "f.bin"), row.left.has_value()) << row.why;
        if (row.left) {
            EXPECT_TRUE(testing::file_bytes(dir / "f.bin") == *row.left) << row.why;
        }
        fs::remove(dir / "f.bin");
    }
}

TEST_F(TransferCommandsTest, AFullDiskFailsTheDownloadAndDropsThePartialFile) {
    const testing::Small_tmpfs disk(dir / "small", 1 << 20);
    if (!disk.mounted()) {
        GTEST_SKIP() << "this process may not mount a small tmpfs for the full-disk case";
    }
    struct Row {
        std::vector<std::string> extra;
        bool kept;
    } rows[] = {{{}, false}, {{"--keep-partial"}, true}};
    for (const Row& row : rows) {
        scenario.api_replies("123", {Reply{200, "DL:{server},AUTH,-5,x"}});
        scenario.file("123", Reply{.pattern_size = 3000000});
        std::vector<std::string> args = {"download",    "http://rapidshare.com/files/123/f.bin",
                                         "--folder",    (dir / "small").string(),
                                         "--second-ms", "1"};
        args.insert(args.end(), row.extra.begin(), row.extra.end());
        const Result r = run(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "An error occurred while downloading the file, Error:" +
                             std::to_string(ENOSPC) + "\n");
        EXPECT_EQ(fs::exists(dir / "small" / "f.bin"), row.kept);
        if (row.kept) {
            const std::string kept = testing::file_bytes(dir / "small" / "f.bin");
            EXPECT_TRUE(kept == fakehost::pattern_bytes(0, kept.size())) << "a true prefix";
        }
        fs::remove(dir / "small" / "f.bin");
    }
}

// A list file of three downloads into the test's folder.
std::string three_downloads(TransferCommandsTest& test, const fs::path& dir) {
    const std::string list = (dir / "queue.zrv").string();
    for (const char* id : {"301", "302", "303"}) {
        const Result added =
            test.run({"add", list, "--url",
                      std::string("http://rapidshare.com/files/") + id + "/q" + id + ".bin",
                      "--folder", dir.string(), "--name", std::string("q") + id + ".bin"});
        EXPECT_EQ(added.status, 0) << added.err;
    }
    return list;
}

// The fields of each listed record: number, status (line 11), size (12),
// downloaded (13), retries (7).
std::vector<std::string> statuses(const std::string& listed) {
    std::vector<std::string> rows;
    std::istringstream in(listed);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');) {
            fields.push_back(cell);
        }
        rows.push_back(fields[0] + " " + fields[10] + " " + fields[11] + " " + fields[12] + " " +
                       fields[6]);
    }
    return rows;
}

TEST_F(TransferCommandsTest, QueueDownloadsOneAfterAnotherAndSavesTheList) {
    const std::string list = three_downloads(*this, dir);
    scenario.api_replies("301", {Reply{200, "DL:{server},AUTH,-5,x"}});
    scenario.api_replies("302", {Reply{200, "ERROR: x lot of users. Retry in 1 seconds<script>"},
                                 Reply{200, "DL:{server},AUTH,-5,x"}});
    scenario.api_replies("303", {Reply{200, "DL:{server},AUTH,-5,x"}});
    scenario.file("301", Reply{.pattern_size = 100000});
    scenario.file("302", Reply{.pattern_size = 2000000});
    scenario.file("303", Reply{200, ""});
    const Result r = run({"queue", list, "--rows", "2,0,1", "--second-ms", "1"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "2\tq303.bin\tFinished Downloading File\n"
              "0\tq301.bin\tFinished Downloading File\n"
              "1\tq302.bin\tFinished Downloading File\n")
        << "in the order given, one at a time";
    EXPECT_TRUE(testing::file_bytes(dir / "q301.bin") == fakehost::pattern_bytes(0, 100000));
    EXPECT_TRUE(testing::file_bytes(dir / "q302.bin") == fakehost::pattern_bytes(0, 2000000));
    EXPECT_TRUE(fs::exists(dir / "q303.bin")) << "a finished empty file is kept";
    const Result listed = run({"list", list});
    EXPECT_EQ(statuses(listed.out), (std::vector<std::string>{
                                        "0 Finished Downloading File 100000 100000 0",
                                        "1 Finished Downloading File 2000000 2000000 1",
                                        "2 Finished Downloading File 0 0 0",
                                    }));
}

// Two programs on one list: a running queue (the real program, in a process
// of its own) holds its list, also after it has saved it, so an add
// meanwhile is refused and changes nothing; once the queue ends, it works.
TEST_F(TransferCommandsTest, ARunningQueueHoldsItsListAcrossItsSaves) {
    const std::string list = three_downloads(*this, dir);
    scenario.api_replies("301", {Reply{200, "DL:{server},AUTH,-5,x"}});
    scenario.api_replies("302", {Reply{200, "DL:{server},AUTH,-5,x"}});
    scenario.file("301", Reply{200, "first"});
    scenario.file("302", Reply{.pace = std::chrono::milliseconds(20), .endless = true});
    const std::string log = (dir / "queue.log").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<std::string> args = {CORVALE_CLI, "queue",       list, "--rows",
                                     "0,1",       "--second-ms", "1"};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t queue = 0;
    ASSERT_EQ(posix_spawn(&queue, CORVALE_CLI, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    // The second download writes: the first has ended and the list was saved.
    int status = 0;
    std::error_code ignored;
    while (fs::file_size(dir / "q302.bin", ignored) == 0 || ignored) {
        ASSERT_EQ(::waitpid(queue, &status, WNOHANG), 0) << testing::file_bytes(log);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const std::string saved = testing::file_bytes(list);
    EXPECT_EQ(statuses(run({"list", list}).out)[0], "0 Finished Downloading File 5 5 0");
    const std::vector<std::string> add = {
        "add",      list,         "--url",  "http://rapidshare.com/files/304/q304.bin",
        "--folder", dir.string(), "--name", "q304.bin"};
    const Result refused = run(add);
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(
        refused.err,
        encode_utf8(format_message(texts::list_in_use, {embed_data(decode_native(list))})) + "\n");
    EXPECT_TRUE(testing::file_bytes(list) == saved) << "the list is left as the queue saved it";

    ASSERT_EQ(::kill(queue, SIGINT), 0);
    ASSERT_EQ(::waitpid(queue, &status, 0), queue);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << testing::file_bytes(log);
    const Result added = run(add);
    EXPECT_EQ(added.status, 0) << added.err;
    const std::vector<std::string> after = statuses(run({"list", list}).out);
    ASSERT_EQ(after.size(), 4u) << "the queue's last save and the add are both kept";
    EXPECT_EQ(after[1].substr(0, 19), "1 Download canceled");
}

TEST_F(TransferCommandsTest, QueueRefusalsAndUsage) {
    const std::string list = three_downloads(*this, dir);
    scenario.api_replies("301", {Reply{200, "DL:{server},AUTH,-5,x"}});
    scenario.file("301", Reply{200, "new"});
    std::ofstream(dir / "q301.bin") << "old";
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string out;
        const char* why;
    } rows[] = {
        {{"queue", list, "--rows", "0"},
         1,
         "0\tq301.bin\tThe file '" + (dir / "q301.bin").string() +
             "' already exists. Do you want to replace it?\n",
         "an existing file is not replaced without --yes, and the line says so"},
        {{"queue", list, "--rows", "0", "--yes", "--second-ms", "1"},
         0,
         "0\tq301.bin\tFinished Downloading File\n",
         "--yes replaces it"},
        {{"queue", list, "--rows", "7"}, 2, "", "no such download"},
        {{"queue", list, "--rows", " 1"}, 2, "", "a blank before the number"},
        {{"queue", list, "--rows", "1 "}, 2, "", "a blank after it"},
        {{"queue", list, "--rows", "+1"}, 2, "", "a sign"},
        {{"queue", list, "--rows", "0,,1"}, 2, "", "an empty number"},
        {{"queue", list, "--rows", "0", "--all"}, 2, "", "--rows and --all"},
        {{"queue", (dir / "none.zrv").string(), "--all"}, 2, "", "no list file"},
    };
    for (const Row& row : rows) {
        const Result r = run(row.args);
        EXPECT_EQ(r.status, row.status) << row.why << ": " << r.err;
        EXPECT_EQ(r.out, row.out) << row.why;
    }
    EXPECT_EQ(testing::file_bytes(dir / "q301.bin"), "new");
}

TEST_F(TransferCommandsTest, QueueRefusesANameThatLeavesTheFolder) {
    // A list file from elsewhere: the program itself never stores such a name.
    const fs::path folder = dir / "in";
    fs::create_directories(folder);
    const std::string list = (dir / "hostile.zrv").string();
    {
        testing::Scripted_prompter prompter;
        Memory_profile profile;
        Download_list downloads(prompter, profile);
        Memory_list_view view;
        for (const char* name : {"../escape.bin", "q402.bin"}) {
            const std::string id = name[0] == 'q' ? "402" : "401";
            downloads.add_download(decode_native(name), L"", view,
                                   decode_ansi("http://rapidshare.com/files/" + id + "/f.bin"),
                                   decode_native(folder.string()));
            scenario.api_replies(id, {Reply{200, "DL:{server},AUTH,-5,x"}});
            scenario.file(id, Reply{200, "body " + id});
        }
        // What an earlier run left: kept, since this one never runs.
        downloads.records().front().status_text = L"Download canceled";
        downloads.records().front().downloaded = 7;
        ASSERT_TRUE(save_list(downloads, decode_native(list)));
    }
    const auto first_line = [this, &list] {
        const std::string listed = run({"list", list}).out;
        return listed.substr(0, listed.find('\n'));
    };
    const std::string refused_before = first_line();

    const Result r = run({"queue", list, "--all", "--second-ms", "1"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out,
              "0\t../escape.bin\tInvalid file name\n"
              "1\tq402.bin\tFinished Downloading File\n")
        << "the refusal is reported and the queue goes on";
    EXPECT_FALSE(fs::exists(dir / "escape.bin")) << "nothing written outside the folder";
    EXPECT_FALSE(fs::exists(folder / "escape.bin"));
    EXPECT_EQ(testing::file_bytes(folder / "q402.bin"), "body 402");
    for (const fakehost::Request& request : host.requests()) {
        EXPECT_EQ((request.path + request.query).find("401"), std::string::npos)
            << "the refused download asked the host nothing";
    }
    EXPECT_EQ(first_line(), refused_before) << "its record is saved as it was";
}

TEST_F(TransferCommandsTest, InterruptStopsTheQueueKeepsThePartialFileAndSaves) {
    const std::string list = three_downloads(*this, dir);
    scenario.api_replies("301", {Reply{200, "DL:{server},AUTH,-5,x"}});
    scenario.file("301", Reply{.pattern_size = 8000000, .pace = std::chrono::milliseconds(20)});
    std::atomic<bool> done{false};
    std::thread presser([&] {
        std::error_code ignored;
        while (!done && (fs::file_size(dir / "q301.bin", ignored) == 0 || ignored)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        Interrupt_guard::raise_for_test();
    });
    const Result r = run({"queue", list, "--all", "--second-ms", "1"});
    done = true;
    presser.join();
    EXPECT_EQ(r.status, 130) << r.err;
    EXPECT_GT(fs::file_size(dir / "q301.bin"), 0u) << "stopped quietly: the partial file stays";
    EXPECT_FALSE(fs::exists(dir / "q302.bin")) << "nothing started after it";
    const std::vector<std::string> saved = statuses(run({"list", list}).out);
    ASSERT_EQ(saved.size(), 3u);
    EXPECT_EQ(saved[0].substr(0, 28), "0 Download canceled 8000000 ") << "the stop's own status";
}

// Ctrl-C at many instants of a queue of small downloads: a step of the queue
// posted just before it starts nothing, so the command ends (it used to wait
// for a download started after the interrupt) and saves the list.
TEST_F(TransferCommandsTest, InterruptAtAnyInstantEndsTheQueueAndSaves) {
    const std::string list = (dir / "forty.zrv").string();
    {
        testing::Scripted_prompter prompter;
        Memory_profile profile;
        Download_list records(prompter, profile);
        Memory_list_view view;
        for (int i = 0; i < 40; ++i) {
            const std::string id = std::to_string(400 + i);
            records.add_download(L"m" + decode_ansi(id), L"", view,
                                 L"http://rapidshare.com/files/" + decode_ansi(id) + L"/m.bin",
                                 decode_native(dir.string()));
            scenario.api_replies(id, {Reply{200, "DL:{server},AUTH,-5,x"}});
            scenario.file(id, Reply{200, "x"});
        }
        ASSERT_TRUE(save_list(records, decode_native(list)));
    }
    const auto downloaded = [&] {
        int count = 0;
        for (const auto& entry : fs::directory_iterator(dir)) {
            count += entry.path().filename().string().rfind('m', 0) == 0 ? 1 : 0;
        }
        return count;
    };
    for (const int after : {1, 3, 7, 12}) {
        for (const auto& entry : fs::directory_iterator(dir)) {
            if (entry.path().filename().string().rfind('m', 0) == 0) {
                fs::remove(entry.path());
            }
        }
        std::atomic<bool> done{false};
        std::thread presser([&] {
            while (!done && downloaded() < after) {
                std::this_thread::yield();
            }
            Interrupt_guard::raise_for_test();
        });
        const Result r = run({"queue", list, "--all", "--second-ms", "1"});
        done = true;
        presser.join();
        EXPECT_EQ(r.status, 130) << "after " << after << ": " << r.err;
        EXPECT_LE(downloaded(), after + 2) << "nothing starts after the interrupt";
        EXPECT_EQ(statuses(run({"list", list}).out).size(), 40u) << "the list was saved whole";
    }
}

TEST_F(TransferCommandsTest, GrabFetchesThePageAndVerifiesItsLinks) {
    scenario.page("/list.html", Reply{200,
                                      "<a href=\"http://rapidshare.com/files/1/a.zip\">a</a> "
                                      "rapidshare.com/files/2/b.zip rapidshare.com/files/3/c.zip"});
    scenario.page("/files/1/a.zip", Reply{200, "x=\"#!download|s|1|a.zip|10 MB\";"});
    scenario.page("/files/2/b.zip", Reply{200, "ERROR: File not found"});
    scenario.page("/files/3/c.zip", Reply{200, "Premium! x=\"#!download|s|3|c.zip|1 KB\";"});
    const Result r = run({"grab", "somewhere.example/list.html", "--verify", "--second-ms", "1"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(
        r.out,
        "http://rapidshare.com/files/1/a.zip\n"
        "http://rapidshare.com/files/2/b.zip\n"
        "http://rapidshare.com/files/3/c.zip\n"
        "http://rapidshare.com/files/1/a.zip\tVerified Link\ta.zip\t10 MB\n"
        "http://rapidshare.com/files/2/b.zip\tERROR: File not found\t\t\n"
        "http://rapidshare.com/files/3/c.zip\tERROR: PREMIUM account is required\tc.zip\t1 KB\n");

    EXPECT_EQ(r.err, "");

    const Result missing = run({"grab", "somewhere.example/none.html", "--second-ms", "1"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, ". Failed to receive a valid HTTP response from the server\n");
}

// A link that cannot be fetched keeps the failure that ended its fetch, not
// the note that the attempts are used up, and the walk goes on after it.
TEST_F(TransferCommandsTest, GrabVerifyGoesOnAfterALinkThatFails) {
    scenario.page("/two.html",
                  Reply{200, "rapidshare.com/files/8/gone.zip rapidshare.com/files/1/a.zip"});
    scenario.page("/files/1/a.zip", Reply{200, "x=\"#!download|s|1|a.zip|10 MB\";"});
    const Result r = run({"grab", "somewhere.example/two.html", "--verify", "--second-ms", "1"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "http://rapidshare.com/files/8/gone.zip\n"
              "http://rapidshare.com/files/1/a.zip\n"
              "http://rapidshare.com/files/8/gone.zip\t. Failed to receive a valid HTTP response "
              "from the server\t\t\n"
              "http://rapidshare.com/files/1/a.zip\tVerified Link\ta.zip\t10 MB\n");
}

TEST_F(TransferCommandsTest, CheckUpdateTellsTheVerdictOrWhyNot) {
    const auto version_file = [](const std::string& utf8) {
        std::string body = "\xFF\xFE";
        for (const char c : utf8) {
            body += c;
            body += '\0';
        }
        return body;
    };
    struct Row {
        Reply reply;
        int status;
        std::string out_end;
        std::string err;
        const char* why;
    };
    const Row rows[] = {
        {Reply{200, version_file("1.2.0.3\r\nMay\r\nNew.")}, 0,
         "Latest Version: 1.2.0.3\nDate: May\nInformation: New.\n"
         "An update is available. Visit Zrv website to download it.\n",
         "", "newer"},
        {Reply{200, version_file("1.3")}, 0,
         "Latest Version: 1.3\nDate: \nInformation: \nNo updates are available.\n", "",
         "13 is not more than 1202"},
        {Reply{404, "no"}, 1, "Current Version: 1.2.0.2\n",
         "HTTP status 404\nCouldn't check for availability of and update due to an "
         "error.Please try again later.\n",
         "not found"},
        {Reply{200, std::string(10240, 'x')}, 1, "Current Version: 1.2.0.2\n",
         "Couldn't check for availability of and update due to an error.Please try again "
         "later.\n",
         "too large"},
        {Reply{200, version_file("1.2.0.3\x1b]0;owned\x07\r\n\x1b[2J\r\n\x1b]52;c;aGk=\x07\r\n"
                                 "\x85line 2")},
         0,
         "Latest Version: 1.2.0.3\\x1b]0;owned\\x07\nDate: \\x1b[2J\nInformation: "
         "\\x1b]52;c;aGk=\\x07\\x0d\\x0a\\x85line 2\n"
         "An update is available. Visit Zrv website to download it.\n",
         "", "a hostile version file: title, clear screen, clipboard, NEL"},
    };
    for (const Row& row : rows) {
        scenario.page("/corvale/version_a.txt", row.reply);
        const Result r = run({"check-update"});
        EXPECT_EQ(r.status, row.status) << row.why;
        EXPECT_TRUE(r.out.starts_with("Current Version: 1.2.0.2\n")) << row.why << r.out;
        EXPECT_TRUE(r.out.ends_with(row.out_end)) << row.why << r.out;
        EXPECT_EQ(r.err, row.err) << row.why;
        EXPECT_TRUE(testing::only_own_controls(r.out)) << row.why;
    }
    const std::string request_host = host.requests().back().host;
    EXPECT_EQ(request_host.substr(0, request_host.find(':')), "update.corvale.example.org");

    EXPECT_EQ(run({"check-update", "--url", "ftp://x/v"}).status, 2);
    EXPECT_EQ(run({"check-update", "extra"}).status, 2);
    scenario.page("/v.txt", Reply{200, version_file("9")});
    const Result other = run({"check-update", "--url", "http://elsewhere.example/v.txt"});
    EXPECT_EQ(other.status, 0);
    EXPECT_TRUE(other.out.ends_with("No updates are available.\n")) << other.out;
}

TEST_F(TransferCommandsTest, GrabShowsControlCharactersOfPagesAsEscapes) {
    scenario.page("/hostile.html",
                  Reply{200, std::string("rapidshare.com/files/1/a\x1b]0;x\x07.zip ") +
                                 "rapidshare.com/files/2/b" + '\0' +
                                 "c\x1b"
                                 "c.zip"});
    const Result links = run({"grab", "somewhere.example/hostile.html", "--second-ms", "1"});
    EXPECT_EQ(links.status, 0) << links.err;
    EXPECT_EQ(links.out,
              "http://rapidshare.com/files/1/a\\x1b]0;x\\x07.zip\n"
              "http://rapidshare.com/files/2/b\\x00c\\x1bc.zip\n");

    scenario.page("/one.html", Reply{200, "rapidshare.com/files/3/c.zip"});
    scenario.page("/files/3/c.zip", Reply{200, "x=\"#!download|s|3|c\x1b]0;t\x07.zip|1\x9b KB\";"});
    const Result verified =
        run({"grab", "somewhere.example/one.html", "--verify", "--second-ms", "1"});
    EXPECT_EQ(verified.status, 0) << verified.err;
    EXPECT_EQ(
        verified.out,
        "http://rapidshare.com/files/3/c.zip\n"
        "http://rapidshare.com/files/3/c.zip\tVerified Link\tc\\x1b]0;t\\x07.zip\t1\\x9b KB\n");
}

TEST_F(TransferCommandsTest, GrabSaysWhenThePageWasCut) {
    constexpr std::size_t k_limit = 32u << 20;
    const std::string link = "rapidshare.com/files/1/a.zip ";
    const std::string cut_note =
        "corvale-cli grab: the page was cut after its first 32 MiB; links after that were not "
        "taken\n";
    struct Row {
        std::size_t size;
        bool length;
        std::string err;
        const char* why;
    } rows[] = {
        {k_limit, true, "", "exactly the limit, with a length: whole"},
        {k_limit + 1, true, cut_note, "one byte more"},
        {k_limit + 1, false, cut_note, "one byte more, without a length"},
    };
    for (const Row& row : rows) {
        Reply page{200, link + std::string(row.size - link.size(), ' ')};
        page.content_length = row.length;
        scenario.page("/big.html", page);
        const Result r = run({"grab", "somewhere.example/big.html", "--second-ms", "1"});
        EXPECT_EQ(r.status, 0) << row.why;
        EXPECT_EQ(r.out, "http://rapidshare.com/files/1/a.zip\n") << row.why;
        EXPECT_EQ(r.err, row.err) << row.why;
    }
}

TEST_F(TransferCommandsTest, TraceShowsTheHostsTextWithEscapes) {
    scenario.api_replies("123", {Reply{200, "ERROR: \x1b]0;pwned\x07 Go away\x1b[2J\x9b<script>"}});
    const Result r = download("123", {"--trace"});
    EXPECT_EQ(r.status, 1);
    int refusals = 0;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("UM_LAST_ERROR")) {
            ++refusals;
            EXPECT_EQ(line, "UM_LAST_ERROR 0\t\\x1b]0;pwned\\x07 Go away\\x1b[2J\\x9b");
        }
    }
    EXPECT_EQ(refusals, 4) << "one an attempt";
    EXPECT_TRUE(testing::only_own_controls(r.out));
    EXPECT_TRUE(testing::only_own_controls(r.err));
}

// Output that shows only what was flushed, as a file does to someone who
// follows it while the program runs.
class Flushed_output : public std::streambuf {
  public:
    Flushed_output() { setp(buffer_.data(), buffer_.data() + buffer_.size()); }
    std::string flushed() const {
        const std::lock_guard lock(mutex_);
        return flushed_;
    }

  protected:
    int sync() override {
        publish();
        return 0;
    }
    int_type overflow(int_type c) override {
        publish();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

  private:
    void publish() {
        const std::lock_guard lock(mutex_);
        flushed_.append(pbase(), pptr());
        setp(buffer_.data(), buffer_.data() + buffer_.size());
    }

    // More than a trace writes in the test's time: only a flush shows it.
    std::vector<char> buffer_ = std::vector<char>(8 << 20);
    mutable std::mutex mutex_;
    std::string flushed_;
};

// A wait of years is cut to a day, and the trace says so as it happens.
TEST_F(TransferCommandsTest, TraceLinesAreFlushedAndAWaitAboveADayIsCapped) {
    struct Row {
        std::string reply;
        std::string capped;
    } rows[] = {
        {"DL:{server},AUTH,999999999,x", "UM_WAIT_CAPPED 1000000004\n"},
        {"ERROR: x You need to wait 2147483647 seconds.<script>", "UM_WAIT_CAPPED 2147483652\n"},
    };
    for (const Row& row : rows) {
        scenario.api_replies("123", {Reply{200, row.reply}});
        Flushed_output trace;
        std::ostream out(&trace);
        std::string seen;
        std::atomic<bool> done{false};
        std::thread presser([&] {
            // Ctrl-C once the first second of the wait is in the trace; the
            // bound only keeps a fault from holding the test for a day.
            for (int i = 0; i < 30000 && !done; ++i) {
                if (trace.flushed().find("UM_WAIT 86399\n") != std::string::npos) {
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            seen = trace.flushed();
            Interrupt_guard::raise_for_test();
        });
        std::istringstream in;
        std::ostringstream err;
        const int status = run_cli({"download", "http://rapidshare.com/files/123/f.bin", "--folder",
                                    dir.string(), "--second-ms", "1", "--trace"},
                                   in, out, err, false);
        done = true;
        presser.join();
        EXPECT_EQ(status, 1);
        EXPECT_NE(seen.find(row.capped + "UM_WAIT 86399\n"), std::string::npos)
            << row.reply << ": what the trace showed while it ran:\n"
            << seen;
    }
}

TEST_F(TransferCommandsTest, QueueLinesSayWhyADownloadDidNotStart) {
    const std::string list = (dir / "refused.zrv").string();
    const std::string hostile = "f\x1b]0;t\x07";
    fs::create_directory(dir / hostile);
    std::ofstream(dir / hostile / "q1.bin") << "old";
    {
        testing::Scripted_prompter prompter;
        Memory_profile profile;
        Download_list records(prompter, profile);
        Memory_list_view view;
        const std::wstring folder = decode_native(dir.string());
        records.add_download(L"q1.bin", L"", view, L"http://rapidshare.com/files/301/q1.bin",
                             folder + L"/" + decode_native(hostile));
        records.add_download(L"q2.bin", L"", view, L"http://rapidshare.com/files/302/q2.bin",
                             folder + L"/none");
        ASSERT_TRUE(save_list(records, decode_native(list)));
    }
    const Result r = run({"queue", list, "--all", "--second-ms", "1"});
    EXPECT_EQ(r.status, 1);
    std::vector<std::string> lines;
    std::istringstream out(r.out);
    for (std::string line; std::getline(out, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 2u) << r.out;
    EXPECT_EQ(lines[0], "0\tq1.bin\tThe file '" + dir.string() +
                            "/f\\x1b]0;t\\x07/q1.bin' already exists. Do you want to replace it?")
        << "declined; the path from the list cannot steer the terminal";
    EXPECT_TRUE(lines[1].starts_with(
        "1\tq2.bin\tAn error occured while saving the file: " + (dir / "none" / "q2.bin").string() +
        " Check if the file path is correct."))
        << "not opened, its message on one line: " << lines[1];
    EXPECT_TRUE(testing::only_own_controls(r.out));
    EXPECT_TRUE(testing::only_own_controls(r.err)) << "nor its questions";
}

}  // namespace
}  // namespace corvale
