#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "cli/cli.h"
#include "cli/terminal_check.h"
#include "corvale/text_ids.h"
#include "model/list_file.h"
#include "platform/profile.h"
#include "platform/string_table.h"
#include "platform/wide_text.h"
#include "support/other_program.h"
#include "support/scripted_prompter.h"
#include "support/temporary_folder.h"

namespace corvale {
namespace {

namespace fs = std::filesystem;

struct Result {
    int status;
    std::string out, err;
};

class ListCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("corvale-cli-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        list = (dir / "list.zrv").string();
    }
    void TearDown() override { fs::remove_all(dir); }

    Result run(std::vector<std::string> args, const std::string& input = "",
               bool interactive = false) {
        std::istringstream in(input);
        std::ostringstream out, err;
        const int status = run_cli(args, in, out, err, interactive);
        return {status, out.str(), err.str()};
    }

    Result add(const std::string& url, const std::string& folder, const std::string& name,
               std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"add",      list,   "--url",  url,
                                         "--folder", folder, "--name", name};
        args.insert(args.end(), extra.begin(), extra.end());
        return run(args);
    }

    // The texts of each listed record without its last (time-stamp) field.
    std::vector<std::string> listed() {
        const Result r = run({"list", list});
        EXPECT_EQ(r.status, 0) << r.err;
        std::vector<std::string> lines;
        std::istringstream in(r.out);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line.substr(0, line.rfind('\t')));
        }
        return lines;
    }

    fs::path dir;
    std::string list;
};

using testing::file_bytes;

std::string text(int id) {
    return encode_utf8(load_string(id));
}

TEST_F(ListCommandsTest, AddCreatesTheListAndListPrintsSavedLines) {
    const Result r =
        add("http://rapidshare.com/files/1/a.zip", "/dl", "a.zip", {"--description", "وصف"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(listed(),
              std::vector<std::string>{
                  "0\t0\t/dl\ta.zip\t\xD9\x88\xD8\xB5\xD9\x81\thttp://rapidshare.com/files/1/"
                  "a.zip\t0\t0\t0\t0\t\t0\t0\t0\t1"});
}

TEST_F(ListCommandsTest, AddAppliesTheDuplicateRules) {
    ASSERT_EQ(add("http://rapidshare.com/files/1/a", "/dl", "a").status, 0);
    struct Row {
        std::string url, folder, name;
        std::vector<std::string> extra;
        int status;
        std::string err;
        std::size_t records;
    } rows[] = {
        {"http://www.rapidshare.com/files/1/a",
         "/other",
         "x",
         {"--no"},
         1,
         "/other/x\nhttp://www.rapidshare.com/files/1/a\n\n" + text(texts::add_url_taken) + "\n",
         1},
        {"http://www.rapidshare.com/files/1/a",
         "/other",
         "x",
         {},
         1,
         "/other/x\nhttp://www.rapidshare.com/files/1/a\n\n" + text(texts::add_url_taken) + "\n",
         1},
        {"http://rapidshare.com/files/2/b",
         "/DL",
         "A",
         {},
         1,
         "/DL/A\nhttp://rapidshare.com/files/2/b\n\n" + text(texts::add_name_taken) + "\n",
         1},
        {"http://rapidshare.com/files/1/a",
         "/dl",
         "a",
         {"--yes"},
         1,
         "/dl/a\nhttp://rapidshare.com/files/1/a\n\n" + text(texts::add_same_download) + "\n",
         1},
        {"http://www.rapidshare.com/files/1/a",
         "/other",
         "x",
         {"--yes"},
         0,
         "/other/x\nhttp://www.rapidshare.com/files/1/a\n\n" + text(texts::add_url_taken) + "\n",
         2},
    };
    for (const Row& row : rows) {
        const Result r = add(row.url, row.folder, row.name, row.extra);
        EXPECT_EQ(r.status, row.status) << row.err;
        EXPECT_EQ(r.err, row.err);
        EXPECT_EQ(listed().size(), row.records) << row.err;
    }
}

TEST_F(ListCommandsTest, AddRefusesNamesThatLeaveTheFolderAndSavesNothing) {
    ASSERT_EQ(add("http://rapidshare.com/files/1/a", "/dl", "a").status, 0);
    const std::string before = testing::file_bytes(list);
    struct Row {
        std::string name;
        const char* why;
    } rows[] = {
        {"../escape.bin", "one folder up"},
        {"..", "the folder above"},
        {".", "the folder itself"},
        {"a/b", "into a subfolder"},
        {"a\\b", "a backslash"},
        {"", "empty"},
        {"a\x1B[2J", "ESC reaches the terminal that lists it"},
        {"a\xC2\x85", "a C1 control in UTF-8"},
        {std::string(300, 'a'), "300 characters"},
        {std::string(256, '\xE9'), "256 bytes that are not UTF-8"},
    };
    for (const Row& row : rows) {
        const Result r = add("http://rapidshare.com/files/2/b", "/dl", row.name);
        EXPECT_EQ(r.status, 2) << row.why;
        EXPECT_EQ(r.err, text(texts::invalid_file_name) + "\n") << row.why;
        EXPECT_TRUE(testing::file_bytes(list) == before) << row.why << ": the list is unchanged";
    }
    EXPECT_EQ(add("http://rapidshare.com/files/3/c", "/dl", std::string(255, '\xE9')).status, 0)
        << "255 bytes of a name that is not UTF-8 fit";
}

TEST_F(ListCommandsTest, AddKeepsTheFolderAbsolute) {
    ASSERT_EQ(add("http://rapidshare.com/files/1/a", "rel/dl", "a").status, 0);
    ASSERT_EQ(add("http://rapidshare.com/files/2/b", "/abs", "b").status, 0);
    const auto records = listed();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].substr(0, records[0].find("\ta\t")),
              "0\t0\t" + (fs::current_path() / "rel/dl").string())
        << "a relative folder is taken against the working folder";
    EXPECT_EQ(records[1].substr(0, 9), "1\t0\t/abs\t");

    const Result empty = add("http://rapidshare.com/files/3/c", "", "c");
    EXPECT_EQ(empty.status, 2);
    EXPECT_EQ(empty.err, text(texts::invalid_folder) + "\n");
    EXPECT_EQ(listed().size(), 2u);
}

TEST_F(ListCommandsTest, QuestionIsAskedOnATerminal) {
    ASSERT_EQ(add("http://rapidshare.com/files/1/a", "/dl", "a").status, 0);
    const Result r = run(
        {"add", list, "--url", "http://rapidshare.com/files/1/a", "--folder", "/o", "--name", "b"},
        "y\n", true);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("[y/N] "), std::string::npos);
    EXPECT_EQ(listed().size(), 2u);
}

TEST_F(ListCommandsTest, MergePrintsMessagesInOrderAndSaves) {
    ASSERT_EQ(add("http://h.com/a", "/d", "a").status, 0);
    const std::string saved_list = list;
    list = (dir / "other.zrv").string();
    ASSERT_EQ(add("http://h.com/a", "/d", "a").status, 0);             // same record
    ASSERT_EQ(add("http://h.com/a", "/e", "n", {"--yes"}).status, 0);  // link taken
    ASSERT_EQ(add("http://h.com/c", "/f", "c").status, 0);             // free
    const std::string other = list;
    list = saved_list;

    const Result r = run({"merge", list, other, "--no"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "/d/a\nhttp://h.com/a\n\n" + text(texts::merge_same_download) + "\n" +
                         "/e/n\nhttp://h.com/a\n\n" + text(texts::merge_url_taken) + "\n");
    const auto records = listed();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].substr(0, 9), "3\t0\t/f\tc\t")
        << "its number comes after the two that the skipped records used up";

    const Result again = run({"merge", list, other, "--yes"});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(listed().size(), 3u) << "Yes takes the record whose link is taken";
}

TEST_F(ListCommandsTest, Failures) {
    std::ofstream(dir / "big.zrv", std::ios::binary) << std::string(10485761, 'x');
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string err;
    } rows[] = {
        {{"list", (dir / "missing.zrv").string()}, 2, text(texts::list_open_failed) + "\n"},
        {{"list", (dir / "big.zrv").string()}, 2, text(texts::list_too_big) + "\n"},
        {{"merge", list, (dir / "missing.zrv").string()}, 2, text(texts::list_open_failed) + "\n"},
        {{"add", (dir / "big.zrv").string(), "--url", "u", "--folder", "f", "--name", "n"},
         2,
         text(texts::list_too_big) + "\n"},
        {{"add", (dir / "nofolder" / "l.zrv").string(), "--url", "u", "--folder", "f", "--name",
          "n"},
         2,
         text(texts::save_delete_failed) + "\ncorvale-cli: the list was not saved to " +
             (dir / "nofolder" / "l.zrv").string() + "\n"},
        {{"add", list, "--url", "u"},
         2,
         "corvale-cli: --url, --folder and --name are needed\nusage: corvale-cli add FILE --url "
         "URL "
         "--folder DIR --name NAME [--description TEXT] [--yes|--no]\n"},
        {{"list"}, 2, "corvale-cli: wrong number of arguments\nusage: corvale-cli list FILE\n"},
        {{"merge", "a", "b", "--yes", "--no"},
         2,
         "corvale-cli: --yes and --no exclude each other\nusage: corvale-cli merge FILE OTHER "
         "[--yes|--no]\n"},
        {{"add", list, "--url"},
         2,
         "corvale-cli: option --url needs a value\nusage: corvale-cli add FILE --url URL --folder "
         "DIR --name NAME [--description TEXT] [--yes|--no]\n"},
    };
    for (const Row& row : rows) {
        const Result r = run(row.args);
        EXPECT_EQ(r.status, row.status) << row.err;
        EXPECT_EQ(r.err, row.err);
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(fs::exists(list)) << "nothing was saved";
}

TEST_F(ListCommandsTest, NeverSavesOverAFileThatHoldsNoList) {
    const std::string utf16be(
        "\xFE\xFF\0-\0-\0-\0-\0-\0 \0f\0i\0l\0e\0 \0\x31\0-\0-\0-\0-\0-\0\r\0\n", 40);
    std::string binary(100000, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i) {
        binary[i] = static_cast<char>(i * 7 + 3);
    }
    struct Row {
        std::string bytes;
        int status;
        const char* why;
    } rows[] = {
        {utf16be, 2, "UTF-16 big-endian: no record can be found"},
        {binary, 2, "a binary file"},
        {"just some notes, no line ends", 2, "a text without a record"},
        {"x", 2, "one byte"},
        {"\xFF\xFE", 0, "the mark alone is an empty list"},
        {"", 0, "an empty file is an empty list"},
    };
    for (const Row& row : rows) {
        std::ofstream(list, std::ios::binary) << row.bytes;
        for (const char* command : {"add", "merge"}) {
            fs::remove(dir / "other.zrv");
            std::ofstream(dir / "other.zrv", std::ios::binary) << "\xFF\xFE";
            const Result r = std::string(command) == "add"
                                 ? add("http://rapidshare.com/files/1/a.zip", "/tmp", "a.zip")
                                 : run({"merge", list, (dir / "other.zrv").string()});
            EXPECT_EQ(r.status, row.status) << row.why << ", " << command << ": " << r.err;
            if (row.status == 2) {
                EXPECT_EQ(r.err,
                          list + "\nThis file holds no download list. It is left as it is.\n")
                    << row.why;
                EXPECT_TRUE(file_bytes(list) == row.bytes) << row.why << ", " << command;
            }
        }
    }
}

// The commands that save a list refuse one that they may not take over:
// another program holds it, or the user may not write it. Nothing changes,
// mode included, and list still reads it.
TEST_F(ListCommandsTest, AListThatCannotBeTakenOverIsLeftAsItIs) {
    ASSERT_EQ(add("http://h.com/a", "/d", "a").status, 0);
    std::ofstream(dir / "other.zrv", std::ios::binary) << "\xFF\xFE";
    const std::vector<std::vector<std::string>> commands = {
        {"add", list, "--url", "http://h.com/b", "--folder", "/d", "--name", "b"},
        {"merge", list, (dir / "other.zrv").string()},
        {"queue", list, "--all"},
    };
    const std::string bytes = file_bytes(list);
    struct Row {
        bool held;  // otherwise read-only
        std::string err;
    } rows[] = {
        {true,
         encode_utf8(format_message(texts::list_in_use, {embed_data(decode_native(list))})) + "\n"},
        {false, text(texts::save_delete_failed) + "\n"},
    };
    const testing::Without_override as_a_user;
    for (const Row& row : rows) {
        std::optional<testing::Lock_holder> other;
        if (row.held) {
            other.emplace(list);
        } else {
            fs::permissions(list, fs::perms::owner_read | fs::perms::group_read);
        }
        const fs::perms mode = fs::status(list).permissions();
        for (const auto& args : commands) {
            const Result r = run(args);
            EXPECT_EQ(r.status, 2) << args[0];
            EXPECT_TRUE(r.err.starts_with(row.err)) << args[0] << ": " << r.err;
            EXPECT_TRUE(file_bytes(list) == bytes) << args[0];
            EXPECT_EQ(fs::status(list).permissions(), mode) << args[0];
        }
        EXPECT_EQ(listed().size(), 1u) << "list only reads";
    }
}

TEST_F(ListCommandsTest, PathsThatAreNotUtf8AreUsedAsTheyAre) {
    const std::string latin1_list = (dir / "old\xE9.lst").string();
    const std::string latin1_folder = (dir / "f\xF6lder").string();
    list = latin1_list;
    ASSERT_EQ(add("http://rapidshare.com/files/1/a.zip", latin1_folder, "n\xE4me.zip").status, 0);
    EXPECT_TRUE(fs::exists(fs::path(latin1_list))) << "created under its own bytes";
    EXPECT_FALSE(fs::exists(dir / "old\xC3\xA9.lst")) << "not under a UTF-8 spelling";
    const Result listed_again = run({"list", latin1_list});
    ASSERT_EQ(listed_again.status, 0) << listed_again.err;
    EXPECT_NE(listed_again.out.find("\t" + latin1_folder + "\tn\xE4me.zip\t"), std::string::npos)
        << "folder and name come back byte for byte";
}

TEST_F(ListCommandsTest, ListShowsControlCharactersOfItsFieldsAsEscapes) {
    {
        testing::Scripted_prompter prompter;
        Memory_profile profile;
        Download_list records(prompter, profile);
        Memory_list_view view;
        records.add_download(L"a.zip", L"\x1b]0;owned\x07\tnext\x9b", view,
                             L"http://rapidshare.com/files/1/\x1b[2J\x7f", L"/dl");
        ASSERT_TRUE(save_list(records, decode_native(list)));
    }
    const Result r = run({"list", list});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with(
        "0\t0\t/dl\ta.zip\t\\x1b]0;owned\\x07\\x09next\\x9b\thttp://rapidshare.com/files/1/"
        "\\x1b[2J\\x7f\t"))
        << r.out;
    EXPECT_TRUE(testing::only_own_controls(r.out)) << "a tab inside a field stays one field";
}

}  // namespace
}  // namespace corvale
