#include "model/edit_rules.h"

#include <gtest/gtest.h>

#include "corvale/text_ids.h"
#include "model/progress_window.h"
#include "platform/profile.h"
#include "platform/string_table.h"
#include "support/scripted_prompter.h"

namespace corvale {
namespace {

using testing::Scripted_prompter;

class Open_window : public Progress_window {
  public:
    void set_download_info(const std::wstring&, const std::wstring&, const std::wstring&,
                           const std::wstring&, const std::wstring&) override {}
};

// Three downloads a, b, c in their own folders; `running` ones have a window.
class EditRulesTest : public ::testing::Test {
  protected:
    Scripted_prompter prompter;
    Memory_profile profile;
    Download_list list{prompter, profile, [] { return std::time_t{0}; }};
    Memory_list_view view;
    Open_window window;

    void SetUp() override {
        for (const wchar_t* name : {L"a", L"b", L"c"}) {
            list.add_download(name, std::wstring(L"about ") + name, view,
                              std::wstring(L"http://rapidshare.com/files/1/") + name,
                              std::wstring(L"/dl/") + name);
        }
    }
    void run(std::int32_t number) { list.find(number)->dlg_ptr = &window; }
    std::wstring message(int id) { return load_string(id); }
};

TEST_F(EditRulesTest, WhatAnEditStartsWith) {
    struct Row {
        std::vector<std::int32_t> numbers;
        std::vector<std::int32_t> running;
        bool open;
        int refusal;
        bool several;
        const char* why;
    };
    const Row rows[] = {
        {{}, {}, false, texts::select_to_edit, false, "nothing selected"},
        {{1}, {1}, false, texts::running_not_editable, false, "one running row"},
        {{1}, {0}, true, 0, false, "one idle row while another runs"},
        {{0, 1}, {0, 1}, true, 0, true, "several rows open even when all run"},
        {{7}, {}, false, 0, false, "a number no longer in the list says nothing"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        for (Download_record& record : list.records()) {
            record.dlg_ptr = nullptr;
        }
        for (const std::int32_t number : row.running) {
            run(number);
        }
        const Edit_start start = begin_edit(list, row.numbers);
        EXPECT_EQ(start.open, row.open);
        EXPECT_EQ(start.refusal, row.refusal);
        EXPECT_EQ(start.several, row.several);
        if (start.open) {
            EXPECT_EQ(start.shown.file_name, list.find(row.numbers.front())->file_name);
        }
    }
}

TEST_F(EditRulesTest, OneRowTakesEveryField) {
    const Edit_start start = begin_edit(list, {1});
    apply_edit(list, view, {1}, start,
               {L"http://rapidshare.com/files/2/n", L"/new", L"n", L"new text"});
    const Download_record& b = *list.find(1);
    EXPECT_EQ(b.url, L"http://rapidshare.com/files/2/n");
    EXPECT_EQ(b.folder, L"/new");
    EXPECT_EQ(b.file_name, L"n");
    EXPECT_EQ(b.description, L"new text");
    EXPECT_TRUE(prompter.shown().empty());
}

TEST_F(EditRulesTest, SeveralRowsTakeOnlyWhatTheUserChangedAndSkipRunningOnes) {
    const Edit_start start = begin_edit(list, {0, 1, 2});
    ASSERT_TRUE(start.open);
    run(1);  // started while the dialog was open
    Download_fields edited = start.shown;
    edited.description = L"shared";  // changed; the folder left as the first row's
    edited.file_name = L"ignored";
    apply_edit(list, view, {0, 1, 2}, start, edited);
    EXPECT_EQ(list.find(0)->description, L"shared");
    EXPECT_EQ(list.find(2)->description, L"shared");
    EXPECT_EQ(list.find(2)->folder, L"/dl/c") << "an unchanged field keeps each row's own";
    EXPECT_EQ(list.find(2)->file_name, L"c") << "names are locked for several rows";
    EXPECT_EQ(list.find(1)->description, L"about b") << "a running row is left alone";
    EXPECT_EQ(
        prompter.shown(),
        (std::vector<Scripted_prompter::Shown>{{false, message(texts::running_not_editable)}}));
}

TEST_F(EditRulesTest, AddedLinksPassTheNameRuleFirst) {
    EXPECT_FALSE(add_checked_download(list, view,
                                      {L"http://rapidshare.com/files/3/x", L"/dl", L"../x", L""}));
    EXPECT_EQ(
        prompter.shown(),
        (std::vector<Scripted_prompter::Shown>{
            {false, message(texts::invalid_file_name) + L"\nhttp://rapidshare.com/files/3/x"}}));
    EXPECT_TRUE(
        add_checked_download(list, view, {L"http://rapidshare.com/files/3/x", L"/dl", L"x", L""}));
    EXPECT_EQ(view.row_count(), 4);
}

}  // namespace
}  // namespace corvale
