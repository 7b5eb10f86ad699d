#include "model/list_file.h"
#include "corvale/text_ids.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "model/row_texts.h"
#include "platform/file_io.h"
#include "platform/profile.h"
#include "platform/string_table.h"
#include "platform/wide_text.h"
#include "support/other_program.h"
#include "support/scripted_prompter.h"
#include "support/temporary_folder.h"

namespace corvale {
namespace {

namespace fs = std::filesystem;
using testing::Lock_holder;
using testing::Scripted_prompter;

std::string read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void write_bytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The sixteen lines of a record with the given header, folder, name and link.
std::wstring record_text(const std::wstring& header, const std::wstring& folder,
                         const std::wstring& name, const std::wstring& url,
                         const std::wstring& display = L"0", const std::wstring& eol = L"\r\n") {
    const std::wstring lines[] = {header,
                                  L"1",
                                  folder,
                                  name,
                                  L"desc",
                                  url,
                                  L"3",
                                  L"1",
                                  L"77",
                                  L"1",
                                  L"Finished Downloading File",
                                  L"5000000000",
                                  L"-1",
                                  L"2.5",
                                  display,
                                  L"01-02-2024, 03:04:05"};
    std::wstring text;
    for (const std::wstring& line : lines) {
        text += line + eol;
    }
    return text;
}

std::string utf16_file(const std::wstring& text) {
    return "\xFF\xFE" + to_utf16le(text);
}

class ListFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("corvale-list-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::wstring path(const std::string& name) const { return decode_ansi((dir / name).string()); }

    std::vector<std::wstring> names() const {
        std::vector<std::wstring> result;
        for (const Download_record& record : list.records()) {
            result.push_back(record.file_name);
        }
        return result;
    }

    std::vector<fs::path> files_in_dir() const {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(dir)) {
            files.push_back(entry.path().filename());
        }
        std::sort(files.begin(), files.end());
        return files;
    }

    fs::path dir;
    Scripted_prompter prompter;
    Memory_profile profile;
    Download_list list{prompter, profile};
    Memory_list_view view;
};

TEST_F(ListFileTest, EmptyListIsJustTheMark) {
    ASSERT_TRUE(save_list(list, path("empty.zrv")));
    EXPECT_EQ(read_bytes(dir / "empty.zrv"), "\xFF\xFE");
    load_list(list, path("empty.zrv"), false);
    EXPECT_TRUE(list.records().empty());
}

TEST_F(ListFileTest, SaveWritesTheLinesAndRoundTrips) {
    list.add_download(L"ملف 😀.zip", L"line\r\nbreak", view, L"http://rapidshare.com/files/1/a",
                      L"/home/u/تنزيل");
    list.add_download(L"b.zip", L"", view, L"http://rapidshare.com/files/2/b", L"/dl");
    list.add_download(L"c.zip", L"", view, L"http://rapidshare.com/files/3/c", L"/dl");
    Download_record& first = list.records().front();
    first.info_known = true;
    first.file_size = 5000000000;
    first.downloaded = 4999999999;
    first.retries = -2;
    first.spare_number = 65535;
    first.spare_real = 1234567.0f;
    first.added_at = L"01-02-2024, 03:04:05";

    ASSERT_TRUE(save_list(list, path("l.zrv")));
    const std::wstring text = from_utf16le(read_bytes(dir / "l.zrv").substr(2));
    const std::wstring expected_first =
        L"----- file 1-----\r\n1\r\n/home/u/تنزيل\r\nملف 😀.zip\r\nline  break\r\n"
        L"http://rapidshare.com/files/1/a\r\n-2\r\n0\r\n65535\r\n0\r\n\r\n5000000000\r\n"
        L"4999999999\r\n1.23457e+06\r\n1\r\n01-02-2024, 03:04:05\r\n";
    EXPECT_EQ(text.substr(0, expected_first.size()), expected_first);
    EXPECT_NE(text.find(L"----- file 2-----\r\n"), std::wstring::npos);
    EXPECT_NE(text.find(L"----- file 3-----\r\n"), std::wstring::npos);
    EXPECT_FALSE(list.modified());
    EXPECT_EQ(list.list_path(), path("l.zrv"));
    EXPECT_EQ(profile.read_string(k_settings_section, k_last_list_key, L""), path("l.zrv"));

    load_list(list, path("l.zrv"), false);
    ASSERT_EQ(list.records().size(), 3u);
    const Download_record& loaded = list.records().front();
    EXPECT_EQ(loaded.file_name, L"ملف 😀.zip");
    EXPECT_EQ(loaded.folder, L"/home/u/تنزيل");
    EXPECT_EQ(loaded.description, L"line  break");
    EXPECT_EQ(loaded.file_size, 5000000000u);
    EXPECT_EQ(loaded.downloaded, 4999999999);
    EXPECT_EQ(loaded.spare_number, 65535);
    EXPECT_EQ(loaded.retries, -2);
    EXPECT_FLOAT_EQ(loaded.spare_real, 1234570.0f);
    EXPECT_EQ(loaded.download_number, 3) << "numbers continue after the three added";
    EXPECT_EQ(loaded.display_number, 4);
}

TEST_F(ListFileTest, ReadsFilesAsTheirBytesSay) {
    struct Row {
        std::string bytes;
        std::vector<std::wstring> names;
        std::wstring first_folder;
        const char* why;
    } rows[] = {
        {utf16_file(record_text(L"anything at all", L"/d", L"a", L"u1") +
                    record_text(L"", L"/d", L"b", L"u2", L"7")),
         {L"a", L"b"},
         L"/d",
         "headers are not looked at"},
        {utf16_file(record_text(L"h", L"/d", L"a", L"u1") + L"h\r\n1\r\n/d\r\nb\r\n"),
         {L"a"},
         L"/d",
         "an incomplete trailing record is dropped"},
        {utf16_file(record_text(L"h", L"/d", L"a", L"u1")).substr(0, 20),
         {L"refused"},
         L"/d",
         "a file cut inside the first record holds no list"},
        {encode_utf8(L"") + "h\r\n1\r\n/d\xE9\r\na\r\n" +
             std::string("x\r\nu\r\n3\r\n1\r\n0\r\n0\r\n\r\n0\r\n0\r\n0\r\n1\r\n\r\n"),
         {L"a"},
         L"/d\u00E9",
         "no mark: each byte is the character of its code"},
        {utf16_file(record_text(L"h", L"/d", L"a", L"u1", L"0", L"\r")),
         {L""},
         L"d",
         "CR alone: the first character of every following line is lost"},
        {utf16_file(record_text(L"h", L"/d", L"a", L"u1") + std::wstring(1, L'\0') +
                    record_text(L"h", L"/d", L"b", L"u2")),
         {L"a"},
         L"/d",
         "the text ends at its first NUL"},
        {"\xFF\xFE", {}, L"", "just the mark"},
        {"", {}, L"", "an empty file"},
        {"\xFF", {L"refused"}, L"/d", "one byte"},
        {"%PDF-1.4\n%\xE2\xE3\xCF\xD3\n", {L"refused"}, L"/d", "another program's file"},
    };
    for (const Row& row : rows) {
        write_bytes(dir / "in.zrv", row.bytes);
        list.clear();
        list.add_download(L"refused", L"", view, L"http://h.com/r", L"/d");
        list.set_list_path(L"before.zrv");
        try {
            load_list(list, path("in.zrv"), false);
        } catch (const Settings_file_error& error) {
            // Refused: the list and its path stay, so Save cannot write over
            // the file.
            EXPECT_EQ(error.message(), embed_data(path("in.zrv")) +
                                           L"\nThis file holds no download list. It is left "
                                           L"as it is.")
                << row.why;
            EXPECT_EQ(list.list_path(), L"before.zrv") << row.why;
        }
        EXPECT_EQ(names(), row.names) << row.why;
        if (!row.names.empty()) {
            EXPECT_EQ(list.records().front().folder, row.first_folder) << row.why;
        }
        EXPECT_TRUE(prompter.shown().empty()) << row.why;
    }
}

TEST_F(ListFileTest, ARecordWhoseNameFailsTheRuleIsShownRefusedAndKeptAsItWas) {
    const std::string bytes = utf16_file(record_text(L"----- file 1-----", L"/d", L"../escape.bin",
                                                     L"http://rapidshare.com/files/1/a", L"1") +
                                         record_text(L"----- file 2-----", L"/d", L"ok.bin",
                                                     L"http://rapidshare.com/files/2/b", L"2"));
    write_bytes(dir / "in.zrv", bytes);
    load_list(list, path("in.zrv"), false);
    list.fill_rows(view);
    ASSERT_EQ(view.rows().size(), 2u);
    EXPECT_EQ(view.rows()[0].texts[col_status], load_string(texts::invalid_file_name));
    EXPECT_EQ(view.rows()[1].texts[col_status], L"Finished Downloading File");
    EXPECT_EQ(list.records().front().status_text, L"Finished Downloading File")
        << "the refusal is only shown";

    ASSERT_TRUE(save_list(list, path("out.zrv")));
    EXPECT_TRUE(read_bytes(dir / "out.zrv") == bytes) << "saved as it was loaded";

    list.edit_download(list.records().front(), view, std::nullopt, std::nullopt, L"escape.bin",
                       std::nullopt);
    EXPECT_EQ(view.rows()[0].texts[col_status], L"Finished Downloading File")
        << "a name that passes now shows the status again";
}

TEST_F(ListFileTest, FieldsConvertLikeTheRuntimeParsers) {
    const std::wstring lines[] = {L"h",  L" 2x", L"/d",    L"a",   L"", L"u",
                                  L"-7", L"0",   L"65537", L"abc", L"", L"99999999999999999999",
                                  L"-3", L"bad", L"7",     L""};
    std::wstring text;
    for (const std::wstring& line : lines) {
        text += line + L"\r\n";
    }
    write_bytes(dir / "f.zrv", utf16_file(text));
    load_list(list, path("f.zrv"), false);
    ASSERT_EQ(list.records().size(), 1u);
    const Download_record& r = list.records().front();
    EXPECT_TRUE(r.info_known);
    EXPECT_EQ(r.retries, -7);
    EXPECT_FALSE(r.resume_supported);
    EXPECT_EQ(r.spare_number, 1) << "kept to its low 16 bits";
    EXPECT_FALSE(r.spare_flag);
    EXPECT_EQ(r.file_size, UINT64_MAX);
    EXPECT_EQ(r.downloaded, -3);
    EXPECT_EQ(r.spare_real, 0.0f);
    EXPECT_EQ(r.display_number, 7u) << "line 15 above every number given out is kept";
    EXPECT_EQ(r.download_number, 6);
}

TEST_F(ListFileTest, SizeLimitToTheByte) {
    std::string at_limit = utf16_file(record_text(L"h", L"/d", L"a", L"u"));
    at_limit.resize(k_list_file_limit, '\0');  // NUL padding: the text ends before it
    write_bytes(dir / "limit.zrv", at_limit);
    load_list(list, path("limit.zrv"), false);
    EXPECT_EQ(names(), std::vector<std::wstring>{L"a"});

    write_bytes(dir / "over.zrv", at_limit + "x");
    try {
        load_list(list, path("over.zrv"), false);
        FAIL() << "a file over the limit loaded";
    } catch (const Settings_file_error& error) {
        EXPECT_EQ(error.message(), L"Error loading list file. List file size is too big.");
    }
    // Refused before anything changed: the list, its path and the profile
    // still name the list that loaded, so Save cannot write over the big file.
    EXPECT_EQ(names(), std::vector<std::wstring>{L"a"});
    EXPECT_EQ(list.list_path(), path("limit.zrv"));
    EXPECT_EQ(profile.read_string(k_settings_section, k_last_list_key, L""), path("limit.zrv"));
}

TEST_F(ListFileTest, LoadFailures) {
    list.add_download(L"keep", L"", view, L"http://h.com/k", L"/d");
    list.set_modified(false);
    try {
        load_list(list, path("missing.zrv"), true);
        FAIL();
    } catch (const Settings_file_error& error) {
        EXPECT_EQ(error.message(), L"Error Opening Download list");
    }
    EXPECT_TRUE(list.modified()) << "merging marks the list modified first";
    EXPECT_THROW(load_list(list, decode_ansi(dir.string()), false), Settings_file_error);
    EXPECT_EQ(names(), std::vector<std::wstring>{L"keep"}) << "a failed open changes nothing";
    // No file but a device or a FIFO (a dropped link to one): refused, without
    // reading it as an empty list or waiting for a writer.
    fs::create_symlink("/dev/zero", dir / "zero.zrv");
    ASSERT_EQ(::mkfifo((dir / "fifo.zrv").c_str(), 0600), 0);
    for (const char* name : {"zero.zrv", "fifo.zrv"}) {
        for (const bool merge : {false, true}) {
            EXPECT_THROW(load_list(list, path(name), merge), Settings_file_error) << name;
        }
    }
    EXPECT_EQ(names(), std::vector<std::wstring>{L"keep"});
}

TEST_F(ListFileTest, NumbersContinueAcrossLoadsAndMerges) {
    write_bytes(dir / "two.zrv", utf16_file(record_text(L"h", L"/d", L"a", L"http://h.com/a") +
                                            record_text(L"h", L"/d", L"b", L"http://h.com/b")));
    load_list(list, path("two.zrv"), false);
    load_list(list, path("two.zrv"), false);
    EXPECT_EQ(list.records().front().download_number, 2);
    EXPECT_EQ(list.records().back().display_number, 4);

    list.clear();
    write_bytes(dir / "one.zrv", utf16_file(record_text(L"h", L"/d", L"x", L"http://h.com/x")));
    load_list(list, path("one.zrv"), true);
    load_list(list, path("one.zrv"), true);  // skipped, but uses up number 5
    load_list(list, path("two.zrv"), true);
    EXPECT_EQ(list.records().back().download_number, 7);
}

TEST_F(ListFileTest, MergeAsksOrSkipsDuplicatesWithTheirPrefix) {
    list.add_download(L"a", L"", view, L"http://h.com/a", L"/d");
    write_bytes(dir / "m.zrv",
                utf16_file(record_text(L"h", L"/d", L"a", L"http://h.com/a") +   // same record
                           record_text(L"h", L"/e", L"n", L"http://h.com/a") +   // link taken
                           record_text(L"h", L"/D", L"A", L"http://h.com/z") +   // name taken
                           record_text(L"h", L"/f", L"c", L"http://h.com/c") +   // free
                           record_text(L"h", L"/f", L"c", L"http://h.com/a")));  // two records
    prompter.answer(false);
    load_list(list, path("m.zrv"), true);
    const std::vector<Scripted_prompter::Shown> expected = {
        {false, L"/d/a\nhttp://h.com/a\n\n" + load_string(texts::merge_same_download)},
        {true, L"/e/n\nhttp://h.com/a\n\n" + load_string(texts::merge_url_taken)},
        {false, L"/D/A\nhttp://h.com/z\n\n" + load_string(texts::merge_name_taken)},
        {false, L"/f/c\nhttp://h.com/a\n\n" + load_string(texts::merge_name_and_url_taken)},
    };
    EXPECT_EQ(prompter.shown(), expected);
    EXPECT_EQ(names(), (std::vector<std::wstring>{L"a", L"c"}));
    EXPECT_EQ(list.list_path(), L"") << "merging leaves the list path alone";

    prompter.clear();
    list.fill_missing_rows(view);
    EXPECT_EQ(view.row_count(), 2);
    load_list(list, path("m.zrv"), true);  // No again for the question
    EXPECT_EQ(names(), (std::vector<std::wstring>{L"a", L"c"}))
        << "merging the same file twice skips what the first merge appended";
}

TEST_F(ListFileTest, MergedRecordsAlwaysGetRows) {
    struct Row {
        std::vector<std::wstring> before;  // names added; a leading '-' is deleted again
        std::vector<std::vector<std::wstring>> merges;  // the names of each merged file
        std::wstring shown;
        const char* why;
    } rows[] = {
        {{L"a", L"b"}, {{L"x", L"y"}}, L"abxy", "an ordinary merge"},
        {{L"a", L"b", L"-c"}, {{L"x", L"y"}}, L"abxy", "the list's last record was deleted"},
        {{L"a"}, {{L"y", L"a"}, {L"x"}}, L"ayx", "the merge before skipped its last record"},
        {{L"a", L"-b"}, {{L"x", L"b", L"a"}, {L"z"}}, L"axbz", "both"},
        {{}, {{L"x"}}, L"x", "an empty list"},
        {{L"a"}, {{L"a"}}, L"a", "everything skipped"},
    };
    for (const Row& row : rows) {
        Scripted_prompter script;
        Download_list fresh(script, profile);
        Memory_list_view rows_view;
        for (const std::wstring& name : row.before) {
            const std::wstring bare = name.substr(name.starts_with(L"-") ? 1 : 0);
            fresh.add_download(bare, L"", rows_view, L"http://h.com/" + bare, L"/d");
            fresh.records().back().marked_for_deletion = name.starts_with(L"-");
        }
        fresh.remove_marked(rows_view);
        for (const std::vector<std::wstring>& merge : row.merges) {
            std::wstring text;
            for (const std::wstring& name : merge) {
                text += record_text(L"h", L"/d", name, L"http://h.com/" + name);
            }
            write_bytes(dir / "m.zrv", utf16_file(text));
            load_list(fresh, path("m.zrv"), true);
            fresh.fill_missing_rows(rows_view);
        }

        std::wstring shown;
        for (const auto& shown_row : rows_view.rows()) {
            shown += shown_row.texts[col_file_name];
        }
        EXPECT_EQ(shown, row.shown) << row.why;
        for (const Download_record& record : fresh.records()) {
            EXPECT_EQ(rows_view.item_data(record.list_row), record.download_number) << row.why;
        }
    }
}

TEST_F(ListFileTest, RowNumbersAreTheRecordsOwnAcrossDeleteSaveAndLoad) {
    const auto numbers = [](const Memory_list_view& v) {
        std::vector<std::wstring> shown;
        for (const auto& row : v.rows()) {
            shown.push_back(row.texts[col_number]);
        }
        return shown;
    };
    for (const wchar_t* name : {L"a", L"b", L"c", L"d"}) {
        list.add_download(name, L"", view, std::wstring(L"http://h.com/") + name, L"/d");
    }
    list.find(1)->marked_for_deletion = true;
    list.find(3)->marked_for_deletion = true;
    list.remove_marked(view);
    list.add_download(L"e", L"", view, L"http://h.com/e", L"/d");
    list.add_download(L"f", L"", view, L"http://h.com/f", L"/d");
    const std::vector<std::wstring> before = {L"1", L"3", L"5", L"6"};
    ASSERT_EQ(numbers(view), before) << "no number repeats, none moves";
    ASSERT_TRUE(save_list(list, path("own.zrv")));
    list.hold_file(File_lock());  // the first run ends and lets its file go

    Download_list restarted(prompter, profile);
    Memory_list_view restarted_view;
    load_list(restarted, path("own.zrv"), false);
    restarted.fill_rows(restarted_view);
    EXPECT_EQ(numbers(restarted_view), before) << "a restart keeps every number";
    restarted.add_download(L"g", L"", restarted_view, L"http://h.com/g", L"/d");
    EXPECT_EQ(numbers(restarted_view).back(), L"7") << "a new record takes the next number";
    EXPECT_EQ(restarted.find(6)->file_name, L"g");
}

TEST_F(ListFileTest, StoredDisplayNumbersAreKeptWhileTheyRise) {
    struct Row {
        std::vector<std::wstring> stored;
        std::vector<std::uint32_t> shown;
        const char* why;
    } rows[] = {
        {{L"3", L"7", L"20"}, {3, 7, 20}, "rising numbers are kept, gaps and all"},
        {{L"3", L"7", L"7", L"2", L"0", L"-4", L"x"},
         {3, 7, 8, 9, 10, 11, 12},
         "a repeated, lower, zero, negative or missing number takes the next"},
        {{L"65536", L"65535", L"65536"}, {1, 65535, 65536}, "above 65535 is not kept"},
        {{L"4294967298", L"2"}, {1, 2}, "nor is a number past 32 bits"},
    };
    for (const Row& row : rows) {
        std::wstring text;
        for (const std::wstring& number : row.stored) {
            text += record_text(L"h", L"/d", L"n" + number, L"http://h.com/" + number, number);
        }
        write_bytes(dir / "n.zrv", utf16_file(text));
        Download_list fresh(prompter, profile);
        load_list(fresh, path("n.zrv"), false);
        std::vector<std::uint32_t> shown;
        for (const Download_record& record : fresh.records()) {
            shown.push_back(record.display_number);
            EXPECT_EQ(fresh.find(record.download_number), &record) << row.why;
        }
        EXPECT_EQ(shown, row.shown) << row.why;
    }
}

TEST_F(ListFileTest, SaveFailuresKeepTheOldFileAndState) {
    list.add_download(L"a", L"", view, L"http://h.com/a", L"/d");
    ASSERT_TRUE(save_list(list, path("keep.zrv")));
    const std::string old_bytes = read_bytes(dir / "keep.zrv");
    for (int i = 0; i < 200; ++i) {
        list.add_download(L"n" + std::to_wstring(i), std::wstring(200, L'x'), view,
                          L"http://h.com/n" + std::to_wstring(i), L"/d");
    }

    // A file-size limit makes every write past 4 KiB fail, even for root.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old_limit{};
    getrlimit(RLIMIT_FSIZE, &old_limit);
    rlimit small = old_limit;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool saved = save_list(list, path("keep.zrv"));
    setrlimit(RLIMIT_FSIZE, &old_limit);

    EXPECT_FALSE(saved);
    ASSERT_EQ(prompter.shown().size(), 1u) << "a write error is shown";
    EXPECT_EQ(prompter.shown()[0].text,
              load_string(texts::save_open_failed) + L"\n\n" + system_error_text(EFBIG));
    EXPECT_EQ(read_bytes(dir / "keep.zrv"), old_bytes);
    EXPECT_EQ(files_in_dir(), std::vector<fs::path>{"keep.zrv"}) << "no temporary file is left";
    EXPECT_TRUE(list.modified());
    EXPECT_FALSE(Lock_holder(dir / "keep.zrv").locked()) << "the list still holds its file";

    // Places a save may not write: the file there is left as it is, mode and
    // all, and the list keeps its own file and lock.
    ASSERT_TRUE(save_list(list, path("read-only.zrv")));
    ASSERT_TRUE(save_list(list, path("keep.zrv")));
    fs::permissions(dir / "read-only.zrv", fs::perms::owner_read | fs::perms::group_read);
    ASSERT_EQ(::mkfifo((dir / "fifo.zrv").c_str(), 0600), 0);
    list.set_modified(true);
    const testing::Without_override as_a_user;
    struct Row {
        std::wstring path;
        int message;
        Save_failure why;
    } rows[] = {
        {path("no-such-folder/l.zrv"), texts::save_delete_failed, Save_failure::other},
        {decode_ansi(dir.string()), texts::save_delete_failed,
         Save_failure::not_replaceable},  // a folder
        {path("read-only.zrv"), texts::save_delete_failed, Save_failure::not_replaceable},
        {path("fifo.zrv"), texts::save_delete_failed, Save_failure::not_replaceable},
    };
    for (const Row& row : rows) {
        const fs::path file = to_path(row.path);
        const auto mode = fs::status(file).permissions();
        const std::string bytes = fs::is_regular_file(file) ? read_bytes(file) : "";
        prompter.clear();
        Save_failure why = Save_failure::none;
        EXPECT_FALSE(save_list(list, row.path, &why));
        EXPECT_EQ(why, row.why);
        EXPECT_FALSE(check_list_saveable(list, row.path)) << "nor would it be saved";
        ASSERT_EQ(prompter.shown().size(), 2u);
        EXPECT_EQ(prompter.shown()[0].text, load_string(row.message));
        EXPECT_EQ(prompter.shown()[1].text, load_string(row.message));
        EXPECT_EQ(fs::status(file).permissions(), mode);
        EXPECT_EQ(fs::is_regular_file(file) ? read_bytes(file) : "", bytes);
        EXPECT_EQ(list.list_path(), path("keep.zrv"));
        EXPECT_TRUE(list.modified());
    }
    EXPECT_FALSE(Lock_holder(dir / "keep.zrv").locked());
    EXPECT_EQ(files_in_dir().size(), 3u) << "no temporary file is left";
}

TEST_F(ListFileTest, SaveOnAFullDiskSaysSoAndKeepsTheOldFile) {
    const testing::Small_tmpfs disk(dir / "small", 64 * 1024);
    if (!disk.mounted()) {
        GTEST_SKIP() << "this process may not mount a small tmpfs for the full-disk case";
    }
    const std::wstring target = path("small/l.zrv");
    list.add_download(L"a", L"", view, L"http://h.com/a", L"/d");
    ASSERT_TRUE(save_list(list, target));
    const std::string old_bytes = read_bytes(dir / "small" / "l.zrv");
    for (int i = 0; i < 200; ++i) {
        list.add_download(L"n" + std::to_wstring(i), std::wstring(400, L'x'), view,
                          L"http://h.com/n" + std::to_wstring(i), L"/d");
    }
    profile.write_string(k_settings_section, k_last_list_key, L"before");
    EXPECT_FALSE(save_list(list, target));
    ASSERT_EQ(prompter.shown().size(), 1u);
    EXPECT_EQ(prompter.shown()[0].text,
              load_string(texts::save_open_failed) + L"\n\n" + system_error_text(ENOSPC));
    EXPECT_EQ(read_bytes(dir / "small" / "l.zrv"), old_bytes);
    EXPECT_EQ(fs::directory_iterator(dir / "small")->path().filename(), "l.zrv")
        << "no temporary file is left";
    EXPECT_TRUE(list.modified());
    EXPECT_EQ(profile.read_string(k_settings_section, k_last_list_key, L""), L"before");
    EXPECT_FALSE(Lock_holder(dir / "small" / "l.zrv").locked()) << "the list still holds it";
}

TEST_F(ListFileTest, SaveReplacesThroughALinkAndKeepsPermissions) {
    ASSERT_TRUE(save_list(list, path("real.zrv")));
    fs::permissions(dir / "real.zrv", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(dir / "real.zrv", dir / "link.zrv");
    list.add_download(L"a", L"", view, L"http://h.com/a", L"/d");
    ASSERT_TRUE(save_list(list, path("link.zrv")));
    EXPECT_TRUE(fs::is_symlink(dir / "link.zrv"));
    EXPECT_GT(fs::file_size(dir / "real.zrv"), 2u);
    EXPECT_EQ(fs::status(dir / "real.zrv").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

// From its load to its last save a list holds its file, and another program
// cannot take it; the lock moves with the list to the file it was last saved
// as or loaded from, and a merged file is only read.
TEST_F(ListFileTest, AListHoldsTheFileItWasLoadedFromOrSavedAs) {
    for (const char* name : {"a.zrv", "b.zrv", "c.zrv"}) {
        Download_list other(prompter, profile);
        other.add_download(decode_ansi(name), L"", view, L"http://h.com/" + decode_ansi(name),
                           L"/d");
        ASSERT_TRUE(save_list(other, path(name)));
    }
    const auto held = [this](const char* name) { return !Lock_holder(dir / name).locked(); };
    const auto step = [&](const char* what, const std::vector<std::string>& held_files) {
        for (const char* name : {"a.zrv", "b.zrv", "c.zrv"}) {
            const bool expected =
                std::find(held_files.begin(), held_files.end(), name) != held_files.end();
            EXPECT_EQ(held(name), expected) << what << ": " << name;
        }
    };
    load_list(list, path("a.zrv"), false);
    step("loaded", {"a.zrv"});
    list.add_download(L"x", L"", view, L"http://h.com/x", L"/d");
    ASSERT_TRUE(save_list(list, path("a.zrv")));
    step("saved: the new file is held", {"a.zrv"});
    load_list(list, path("c.zrv"), true);
    step("merged: only read", {"a.zrv"});
    load_list(list, path("a.zrv"), false);
    step("its own file loaded again", {"a.zrv"});
    ASSERT_TRUE(save_list(list, path("b.zrv")));
    step("saved as another file", {"b.zrv"});
    load_list(list, path("c.zrv"), false);
    step("another list loaded", {"c.zrv"});
    EXPECT_TRUE(prompter.shown().empty());
}

TEST_F(ListFileTest, AListThatAnotherProgramHoldsIsOnlyRead) {
    list.add_download(L"a", L"", view, L"http://h.com/a", L"/d");
    ASSERT_TRUE(save_list(list, path("theirs.zrv")));
    ASSERT_TRUE(save_list(list, path("mine.zrv")));
    const std::string bytes = read_bytes(dir / "theirs.zrv");
    Lock_holder other(dir / "theirs.zrv");
    ASSERT_TRUE(other.locked());
    const std::wstring in_use =
        format_message(texts::list_in_use, {embed_data(path("theirs.zrv"))});

    try {
        load_list(list, path("theirs.zrv"), false);
        ADD_FAILURE() << "loaded a list that another program holds";
    } catch (const List_in_use& error) {
        EXPECT_EQ(error.message(), in_use);
    }
    EXPECT_EQ(list.list_path(), path("mine.zrv")) << "the list stays as it was";
    EXPECT_EQ(list.records().size(), 1u);
    EXPECT_FALSE(Lock_holder(dir / "mine.zrv").locked()) << "and keeps its own file";

    load_list(list, path("theirs.zrv"), false, List_access::read_only);
    EXPECT_TRUE(list.read_only());
    EXPECT_EQ(list.records().size(), 1u);
    EXPECT_TRUE(Lock_holder(dir / "mine.zrv").locked()) << "the old list's file is let go";

    Save_failure why = Save_failure::none;
    EXPECT_FALSE(save_list(list, path("theirs.zrv"), &why));
    EXPECT_EQ(why, Save_failure::in_use);
    EXPECT_EQ(prompter.shown().back().text, in_use);
    EXPECT_EQ(read_bytes(dir / "theirs.zrv"), bytes);

    other.release();
    EXPECT_TRUE(save_list(list, path("theirs.zrv")));
    EXPECT_FALSE(list.read_only());
    EXPECT_FALSE(Lock_holder(dir / "theirs.zrv").locked()) << "held once saved";
}

TEST_F(ListFileTest, StartUpLoadsTheLastList) {
    EXPECT_FALSE(load_last_list(list, view).loaded) << "no last list";
    EXPECT_FALSE(load_last_list(list, view).failure) << "and no failure";
    list.add_download(L"a", L"", view, L"http://h.com/a", L"/d");
    ASSERT_TRUE(save_list(list, path("last.zrv")));
    list.hold_file(File_lock());  // the first run ends and lets its file go

    Scripted_prompter fresh_prompter;
    Download_list fresh(fresh_prompter, profile);
    Memory_list_view fresh_view;
    EXPECT_TRUE(load_last_list(fresh, fresh_view).loaded);
    EXPECT_EQ(fresh_view.row_count(), 1);
    EXPECT_EQ(fresh_view.rows()[0].texts[0], L"1");

    profile.write_string(k_settings_section, k_last_list_key, path("gone.zrv"));
    Download_list failing(fresh_prompter, profile);
    const Last_list failed = load_last_list(failing, fresh_view);
    EXPECT_FALSE(failed.loaded);
    EXPECT_EQ(failed.failure, L"Error Opening Download list");
    EXPECT_TRUE(fresh_prompter.shown().empty()) << "the caller shows it";
}

}  // namespace
}  // namespace corvale
