#include "model/download_list.h"
#include "corvale/text_ids.h"

#include <gtest/gtest.h>

#include "model/progress_window.h"
#include "model/row_texts.h"
#include "platform/profile.h"
#include "platform/string_table.h"
#include "support/scripted_prompter.h"

namespace corvale {
namespace {

using testing::Scripted_prompter;

class Recording_window : public Progress_window {
  public:
    void set_download_info(const std::wstring& url, const std::wstring& folder,
                           const std::wstring& file_name, const std::wstring& size,
                           const std::wstring& resume) override {
        info = {url, folder, file_name, size, resume};
    }
    std::vector<std::wstring> info;
};

class DownloadListTest : public ::testing::Test {
  protected:
    Scripted_prompter prompter;
    Memory_profile profile;
    Download_list list{prompter, profile, [] { return std::time_t{0}; }};
    Memory_list_view view;

    bool add(const std::wstring& folder, const std::wstring& url, const std::wstring& name) {
        return list.add_download_with_check(folder, url, name, L"", view);
    }
};

TEST_F(DownloadListTest, NumbersRowsAndDisplayNumbers) {
    ASSERT_TRUE(add(L"/dl", L"http://rapidshare.com/files/1/a", L"a"));
    ASSERT_TRUE(add(L"/dl", L"http://rapidshare.com/files/2/b", L"b"));
    ASSERT_EQ(view.row_count(), 2);
    EXPECT_EQ(view.rows()[0].texts[col_number], L"1") << "the download number plus 1";
    EXPECT_EQ(view.rows()[1].texts[col_number], L"2");
    EXPECT_EQ(view.rows()[1].item_data, 1);
    EXPECT_EQ(list.find(1)->list_row, 1);
    EXPECT_EQ(list.find(1)->file_name, L"b");
    EXPECT_FALSE(list.find(1)->added_at.empty());
    EXPECT_TRUE(list.modified());
    EXPECT_EQ(list.find(2), nullptr);
    EXPECT_EQ(list.find(-1), nullptr);
}

TEST_F(DownloadListTest, NumbersGrowPastAThousandAndAreNeverReused) {
    for (int i = 0; i < 1200; ++i) {
        list.add_download(L"f" + std::to_wstring(i), L"", view,
                          L"http://h.com/" + std::to_wstring(i), L"/dl");
    }
    ASSERT_NE(list.find(1100), nullptr);
    EXPECT_EQ(list.find(1100)->file_name, L"f1100");
    list.clear();
    view = Memory_list_view();
    EXPECT_EQ(list.find(1100), nullptr);
    list.add_download(L"x", L"", view, L"http://h.com/x", L"/dl");
    EXPECT_EQ(list.last_download_number(), 1200);
    EXPECT_EQ(list.find(1200)->file_name, L"x");
}

TEST_F(DownloadListTest, DuplicateRulesWhenAdding) {
    const std::wstring prefix_of_new = L"/Dl/A\nhttp://rapidshare.com/files/9/x\n\n";
    struct Row {
        std::wstring folder, url, name;
        std::deque<bool> answers;
        bool added;
        std::vector<Scripted_prompter::Shown> shown;
        const char* why;
    } rows[] = {
        {L"/dl", L"http://rapidshare.com/files/3/c", L"c", {}, true, {}, "all free"},
        {L"/other",
         L"HTTP://WWW.RapidShare.COM/FILES/1/A",
         L"new",
         {true},
         true,
         {{true, L"/other/new\nHTTP://WWW.RapidShare.COM/FILES/1/A\n\n" +
                     load_string(texts::add_url_taken)}},
         "same link with www and other letter case: asked, Yes adds"},
        {L"/other",
         L"http://rapidshare.com/files/1/a",
         L"new",
         {false},
         false,
         {{true,
           L"/other/new\nhttp://rapidshare.com/files/1/a\n\n" + load_string(texts::add_url_taken)}},
         "No adds nothing"},
        {L"/Dl",
         L"http://rapidshare.com/files/9/x",
         L"A",
         {},
         false,
         {{false, prefix_of_new + load_string(texts::add_name_taken)}},
         "same folder and name, ignoring case"},
        {L"/dl",
         L"http://rapidshare.com/files/1/a",
         L"a",
         {},
         false,
         {{false,
           L"/dl/a\nhttp://rapidshare.com/files/1/a\n\n" + load_string(texts::add_same_download)}},
         "name and link of one record"},
        {L"/dl",
         L"http://rapidshare.com/files/2/b",
         L"a",
         {},
         false,
         {{false, L"/dl/a\nhttp://rapidshare.com/files/2/b\n\n" +
                      load_string(texts::add_name_and_url_taken)}},
         "name of one record, link of another"},
        {L"/dl",
         L"http://x.rapidshare.com/files/1/a",
         L"z",
         {},
         true,
         {},
         "another first label is another host"},
        {L"/dl", L"http://rapidshare.com:8080/files/1/a", L"z", {}, true, {}, "another port"},
        {L"/dl", L"https://rapidshare.com/files/1/a", L"z", {}, true, {}, "another service"},
        {L"/dl",
         L"rapidshare.com/files/5/e",
         L"z",
         {},
         true,
         {},
         "unparsable links are not all one link"},
    };
    for (const Row& row : rows) {
        Scripted_prompter script(row.answers);
        Memory_profile profile_for_row;
        Download_list fresh(script, profile_for_row);
        Memory_list_view rows_view;
        fresh.add_download(L"a", L"", rows_view, L"http://rapidshare.com/files/1/a", L"/dl");
        fresh.add_download(L"b", L"", rows_view, L"http://rapidshare.com/files/2/b", L"/dl");
        fresh.add_download(L"d", L"", rows_view, L"rapidshare.com/files/4/d", L"/dl");
        EXPECT_EQ(fresh.add_download_with_check(row.folder, row.url, row.name, L"", rows_view),
                  row.added)
            << row.why;
        EXPECT_EQ(script.shown(), row.shown) << row.why;
        EXPECT_EQ(script.unscripted_questions(), 0) << row.why;
        EXPECT_EQ(rows_view.row_count(), row.added ? 4 : 3) << row.why;
    }
}

TEST(SameLink, HostLabelRules) {
    struct Row {
        std::wstring a, b;
        bool same;
        const char* why;
    } rows[] = {
        {L"http://host.com/p", L"http://www.host.com/p", true, "empty first label is www"},
        {L"http://a.host.com/p", L"http://b.host.com/p", false, "two different first labels"},
        {L"http://localhost/p", L"http://otherhost/p", true, "no dot: all labels empty"},
        {L"http://a.b.c.d/p", L"http://w.x.y.z/p", true, "three dots: all labels empty"},
        {L"http://host.com/P?Q", L"http://HOST.com/p?q", true, "object and host ignore case"},
        {L"http://host.com/p", L"http://host.com/q", false, "other object"},
        {L"http://host.com/p", L"http://host.com:80/p", true, "default port is port 80"},
        {L"junk", L"JUNK", true, "identical unparsable texts"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(same_link(row.a, row.b), row.same) << row.why;
    }
}

TEST_F(DownloadListTest, EditSetsGivenTextsUpdatesRowAndDuplicateIndex) {
    add(L"/dl", L"http://rapidshare.com/files/1/a", L"a");
    add(L"/dl", L"http://rapidshare.com/files/2/b", L"b");
    list.set_modified(false);
    Download_record& record = *list.find(0);
    list.edit_download(record, view, std::nullopt, std::nullopt, std::nullopt, std::nullopt);
    EXPECT_TRUE(list.modified()) << "editing with nothing given still modifies";

    list.edit_download(record, view, L"new desc", L"/new", L"n.zip",
                       L"http://rapidshare.com/files/7/n");
    EXPECT_EQ(view.rows()[0].texts[col_description], L"new desc");
    EXPECT_EQ(view.rows()[0].texts[col_save_in], L"/new");
    EXPECT_EQ(view.rows()[0].texts[col_file_name], L"n.zip");
    EXPECT_EQ(view.rows()[0].texts[col_url], L"http://rapidshare.com/files/7/n");
    // The old name and link are free again; the new ones are taken.
    EXPECT_TRUE(add(L"/dl", L"http://rapidshare.com/files/1/a", L"a"));
    EXPECT_FALSE(add(L"/new", L"http://rapidshare.com/files/8/q", L"N.ZIP"));
}

TEST_F(DownloadListTest, ProgressWindowInfoAndDiagnostics) {
    add(L"/dl", L"http://rapidshare.com/files/1/a", L"a.zip");
    Recording_window window;
    list.update_download_dlg_info(0);
    list.set_progress_window(5, &window);
    const std::vector<Scripted_prompter::Shown> diagnostics = {
        {false, L"update_download_dlg_info called before initializing dlg_ptr"},
        {false, L"can not find file id to set dlg_ptr"},
        {false, L"can not find file id to set dlg_ptr"},
    };
    EXPECT_EQ(prompter.shown(), diagnostics);
    EXPECT_TRUE(window.info.empty());

    list.set_progress_window(0, &window);
    list.update_download_dlg_info(0);
    EXPECT_EQ(window.info, (std::vector<std::wstring>{L"http://rapidshare.com/files/1/a", L"/dl",
                                                      L"a.zip", L"???", L"???"}));
    Download_record& record = *list.find(0);
    record.info_known = true;
    record.file_size = 6000000000;
    list.update_download_dlg_info(0);
    EXPECT_EQ(window.info[3], L"6000000000");
    EXPECT_EQ(window.info[4], L"No");

    record.running = true;
    EXPECT_EQ(list.count_running(), 1);
    list.set_progress_window(0, nullptr);
    EXPECT_EQ(list.count_running(), 0) << "running without a window does not count";
}

TEST_F(DownloadListTest, RemoveMarkedDeletesTheirRowsAndRenumbers) {
    for (const wchar_t* name : {L"a", L"b", L"c", L"d", L"e"}) {
        list.add_download(name, L"", view, std::wstring(L"http://h.com/") + name, L"/dl");
    }
    list.find(1)->marked_for_deletion = true;
    list.find(2)->marked_for_deletion = true;
    list.find(4)->marked_for_deletion = true;
    list.set_modified(false);
    list.remove_marked(view);
    ASSERT_EQ(view.row_count(), 2);
    EXPECT_EQ(view.rows()[0].texts[col_file_name], L"a");
    EXPECT_EQ(view.rows()[1].texts[col_file_name], L"d");
    EXPECT_EQ(list.find(3)->list_row, 1);
    EXPECT_EQ(list.find(2), nullptr);
    EXPECT_TRUE(list.modified());
    EXPECT_EQ(list.records().size(), 2u);
}

TEST_F(DownloadListTest, MissingRowsAreFilledInListOrder) {
    for (const wchar_t* name : {L"a", L"b", L"c"}) {
        list.add_download(name, L"", view, std::wstring(L"http://h.com/") + name, L"/dl");
    }
    const auto shown = [](const Memory_list_view& v) {
        std::wstring names;
        for (const auto& row : v.rows()) {
            names += row.texts[col_file_name];
        }
        return names;
    };
    Memory_list_view empty;  // records loaded without rows, as the command line does
    list.fill_missing_rows(empty);
    EXPECT_EQ(shown(empty), L"abc");
    list.fill_missing_rows(empty);
    EXPECT_EQ(shown(empty), L"abc") << "a record with a row gets no second one";

    view.delete_row(1);  // a row lost in the middle comes back at its place
    list.fill_missing_rows(view);
    EXPECT_EQ(shown(view), L"abc");
    for (const Download_record& record : list.records()) {
        EXPECT_EQ(view.item_data(record.list_row), record.download_number);
    }
}

TEST_F(DownloadListTest, ColumnTitles) {
    list.load_column_titles();
    ASSERT_EQ(list.column_titles().size(), 14u);
    EXPECT_EQ(list.column_titles().at(0), L"No.");
    EXPECT_EQ(list.column_titles().at(13), L"Link (URL)");
}

}  // namespace
}  // namespace corvale
