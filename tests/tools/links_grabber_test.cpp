#include "tools/links_grabber.h"
#include "corvale/text_ids.h"
#include "tools/dropped_links.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <vector>

#include "engine/notifications.h"
#include "platform/string_table.h"

namespace corvale {
namespace {

// The links list in memory.
class Memory_grabber_view : public Grabber_view {
  public:
    struct Item {
        std::array<std::wstring, gcol_count> texts;
        bool selected = false;
    };
    int item_count() const override { return static_cast<int>(items.size()); }
    void append_item(const std::wstring& number, const std::wstring& link) override {
        Item item;
        item.texts[gcol_number] = number;
        item.texts[gcol_link] = link;
        items.push_back(item);
    }
    std::wstring item_text(int item, int column) const override {
        return items.at(static_cast<std::size_t>(item)).texts.at(static_cast<std::size_t>(column));
    }
    void set_item_text(int item, int column, const std::wstring& text) override {
        items.at(static_cast<std::size_t>(item)).texts.at(static_cast<std::size_t>(column)) = text;
    }
    bool is_selected(int item) const override {
        return items.at(static_cast<std::size_t>(item)).selected;
    }
    void deselect(int item) override { items.at(static_cast<std::size_t>(item)).selected = false; }

    void select(std::initializer_list<int> rows) {
        for (int row : rows) {
            items.at(static_cast<std::size_t>(row)).selected = true;
        }
    }
    std::vector<int> selected() const {
        std::vector<int> rows;
        for (int i = 0; i < item_count(); ++i) {
            if (items[static_cast<std::size_t>(i)].selected) {
                rows.push_back(i);
            }
        }
        return rows;
    }
    std::wstring status(int item) const { return item_text(item, gcol_status); }

    std::vector<Item> items;
};

// A host that records what the rules ask for; fetches start when told.
class Recording_host : public Grabber_host {
  public:
    bool start_fetch(std::int32_t id, const std::wstring& url) override {
        if (!can_start) {
            return false;
        }
        fetches.emplace_back(id, url);
        running = true;
        return true;
    }
    void stop_fetch() override {
        running = false;
        ++stops;
    }
    std::wstring fetch_status() override { return status; }
    std::uint64_t fetch_received() override { return received; }
    std::string_view fetch_page() override { return page; }
    void post_finished(std::int32_t id, std::int64_t outcome) override {
        posted.emplace_back(id, outcome);
    }
    void set_enabled(Grabber_button button, bool enabled) override { enabled_[button] = enabled; }
    void set_get_links_caption(int id) override { get_links_caption = id; }
    void set_verify_caption(int id) override { verify_caption = id; }
    void set_status(const std::wstring& text) override { status_line = text; }
    void set_retries(const std::wstring& text) override { retries = text; }
    void show_message(const std::wstring& text) override { messages.push_back(text); }
    bool ask_yes_no(const std::wstring& text) override {
        messages.push_back(text);
        return answer;
    }
    void add_grabbed_links() override {
        ++adds;
        if (on_add) {
            on_add();
        }
    }
    void request_close() override { ++close_requests; }

    bool enabled(Grabber_button button) const {
        const auto found = enabled_.find(button);
        return found == enabled_.end() || found->second;
    }

    bool can_start = true;
    bool running = false;
    bool answer = true;
    int stops = 0;
    int adds = 0;
    int close_requests = 0;
    int get_links_caption = texts::get_links;
    int verify_caption = texts::verify;
    std::wstring status;
    std::uint64_t received = 0;
    std::string page;
    std::wstring status_line;
    std::wstring retries;
    std::vector<std::wstring> messages;
    std::vector<std::pair<std::int32_t, std::wstring>> fetches;
    std::vector<std::pair<std::int32_t, std::int64_t>> posted;
    std::function<void()> on_add;

  private:
    std::map<Grabber_button, bool> enabled_;
};

std::wstring text(int id) {
    return load_string(id);
}

const std::string k_found_page = "var x=\"#!download|srv|123|a.zip|1024 KB\";";
const std::string k_premium_page = "Get Premium now #!download|srv|1|p.zip|5 MB\";";
const std::string k_missing_page = "ERROR: File not found";

// A grabber with its list and host in memory.
struct Grabber_rig {
    Memory_grabber_view view;
    Recording_host host;
    Links_grabber grabber{view, host, Host_config{}};

    void add_links(int count) {
        std::wstring text;
        for (int i = 1; i <= count; ++i) {
            text += L"http://rapidshare.com/files/" + std::to_wstring(i) + L"/f" +
                    std::to_wstring(i) + L".zip";
        }
        grabber.paste_links(text);
    }
    // The running fetch ends: successfully with `page`, or by failing with
    // `type`, as the fetcher and the window's re-post deliver it.
    void finish(std::int32_t id, const std::string& page, const std::wstring& status = L"done") {
        host.page = page;
        host.status = status;
        grabber.notify(UM_FINISHED, id, 0);
    }
    void fail(std::int32_t id, std::int64_t type, const std::wstring& status) {
        host.status = status;
        host.posted.clear();
        grabber.notify(UM_ERROR, id, type);
        for (const auto& [posted_id, outcome] : host.posted) {
            grabber.notify(UM_FINISHED, posted_id, outcome);
        }
    }
};

class GrabberTest : public ::testing::Test, public Grabber_rig {};

TEST_F(GrabberTest, GetLinksFetchesThePageAndNumbersLinksAcrossGrabs) {
    add_links(2);  // numbers 1 and 2 already taken
    grabber.get_links(L"example.org/page");
    EXPECT_EQ(grabber.state(), Links_grabber::State::getting_links);
    ASSERT_EQ(host.fetches.size(), 1u);
    EXPECT_EQ(host.fetches[0], std::make_pair(-1, std::wstring(L"http://example.org/page")));
    EXPECT_EQ(host.get_links_caption, texts::cancel_get_links);
    for (Grabber_button off : {Grabber_button::add, Grabber_button::browse, Grabber_button::verify,
                               Grabber_button::paste}) {
        EXPECT_FALSE(host.enabled(off));
    }
    EXPECT_TRUE(host.enabled(Grabber_button::get_links));

    grabber.notify(UM_RETRY_COUNT, -1, 1);
    EXPECT_EQ(host.retries, L"1");
    finish(-1,
           "<A HREF=\"http://RapidShare.com/files/7/Seven.zip\">s</A> rapidshare.com/files/8/e.zip",
           L"Finished Downloading File");
    EXPECT_EQ(grabber.state(), Links_grabber::State::idle);
    EXPECT_FALSE(grabber.fetch_running());
    ASSERT_EQ(view.item_count(), 4);
    EXPECT_EQ(view.item_text(2, gcol_number), L"3");
    EXPECT_EQ(view.item_text(2, gcol_link), L"http://rapidshare.com/files/7/seven.zip");
    EXPECT_EQ(view.item_text(3, gcol_number), L"4");
    EXPECT_EQ(host.status_line, text(texts::links_grabbed));
    EXPECT_EQ(host.get_links_caption, texts::get_links);
    EXPECT_TRUE(host.enabled(Grabber_button::verify));
}

TEST_F(GrabberTest, PageLinksAndTheirOutcomes) {
    struct Row {
        std::wstring typed;
        std::wstring fetched;  // empty: nothing is fetched
        std::wstring message;
        const char* why;
    };
    const Row rows[] = {
        {L"", L"", text(texts::enter_page_url), "empty address: enter_page_url"},
        {L"HTTP://x.org/a", L"HTTP://x.org/a", L"", "any case of http:// is kept"},
        {L"https://x.org/a", L"https://x.org/a", L"", "a secure link is kept as it is"},
        {L"ftp://x.org/a", L"http://ftp://x.org/a", L"", "another scheme gets http:// in front"},
        {std::wstring(3000, L'a'), L"http://" + std::wstring(2083, L'a'), L"",
         "cut at 2083 characters"},
    };
    for (const Row& row : rows) {
        Memory_grabber_view v;
        Recording_host h;
        Links_grabber g(v, h, Host_config{});
        g.get_links(row.typed);
        if (row.fetched.empty()) {
            EXPECT_TRUE(h.fetches.empty()) << row.why;
            EXPECT_EQ(g.state(), Links_grabber::State::idle) << row.why;
            EXPECT_TRUE(h.enabled(Grabber_button::paste)) << row.why;
        } else {
            ASSERT_EQ(h.fetches.size(), 1u) << row.why;
            EXPECT_EQ(h.fetches[0].second, row.fetched) << row.why;
        }
        EXPECT_EQ(h.messages.empty() ? L"" : h.messages.back(), row.message) << row.why;
    }
}

TEST_F(GrabberTest, APageFetchEndsInEveryWay) {
    struct Row {
        std::function<void(Grabber_rig&)> end;
        std::wstring status_line;
        int items;
        const char* why;
    };
    const Row rows[] = {
        {[](Grabber_rig& t) { t.finish(-1, "nothing here", L"ok"); }, text(texts::no_links_found),
         0, "no links: no_links_found"},
        {[](Grabber_rig& t) {
             t.finish(-1, "<a href=\"http://rapidshare.com/files/1/a\">a</a> <a unclosed", L"ok");
         },
         L"ok", 1, "an anchor without an end: links so far, and the fetch's status stays"},
        {[](Grabber_rig& t) { t.fail(-1, NT_ATTEMPTS_USED_UP, L"retries exceeded"); },
         L"retries exceeded", 0, "a failed fetch keeps its failure text, nothing is extracted"},
        {[](Grabber_rig& t) {
             t.fail(-1, NT_HTTP_STATUS_NOT_OK, L"status 404");
             t.finish(-1, "rapidshare.com/files/1/a", L"at last");
         },
         text(texts::links_grabbed), 1, "a failure the fetcher retries only changes the status"},
        {[](Grabber_rig& t) {
             t.grabber.get_links(L"");  // pressed again: cancelled
             t.finish(-1, "rapidshare.com/files/1/a", L"late");
         },
         text(texts::get_links_cancelled), 0, "a notice after the cancel changes nothing"},
    };
    for (const Row& row : rows) {
        Grabber_rig t;
        t.grabber.get_links(L"http://x.org/");
        row.end(t);
        EXPECT_EQ(t.host.status_line, row.status_line) << row.why;
        EXPECT_EQ(t.view.item_count(), row.items) << row.why;
        EXPECT_EQ(t.grabber.state(), Links_grabber::State::idle) << row.why;
        EXPECT_FALSE(t.grabber.fetch_running()) << row.why;
        EXPECT_EQ(t.host.get_links_caption, texts::get_links) << row.why;
        EXPECT_TRUE(t.host.enabled(Grabber_button::add)) << row.why;
    }
}

TEST_F(GrabberTest, CancelledGetLinksShowsZeroRetriesAndStopsTheFetch) {
    grabber.get_links(L"http://x.org/");
    grabber.get_links(L"http://x.org/");
    EXPECT_EQ(host.stops, 1);
    EXPECT_FALSE(host.running);
    EXPECT_EQ(host.retries, L"0");
    EXPECT_EQ(host.status_line, text(texts::get_links_cancelled));
}

TEST_F(GrabberTest, AFetchThatCannotStartLeavesTheWindowIdle) {
    host.can_start = false;
    grabber.get_links(L"http://x.org/");
    EXPECT_EQ(grabber.state(), Links_grabber::State::idle);
    EXPECT_EQ(host.messages.back(), text(texts::resume_failed));
    EXPECT_EQ(host.get_links_caption, texts::get_links);
    EXPECT_TRUE(host.enabled(Grabber_button::verify));

    add_links(1);
    view.select({0});
    grabber.verify();
    EXPECT_EQ(grabber.state(), Links_grabber::State::idle);
    EXPECT_FALSE(grabber.busy());
    EXPECT_EQ(host.messages.back(), text(texts::resume_failed));
    EXPECT_EQ(host.verify_caption, texts::verify);
}

TEST_F(GrabberTest, PastedLinksBackToBackBecomeTwoItems) {
    grabber.paste_links(L"HTTP://RapidShare.com/files/1/A.zipHTTP://rapidshare.com/files/2/b.zip");
    ASSERT_EQ(view.item_count(), 2);
    EXPECT_EQ(view.item_text(0, gcol_link), L"http://rapidshare.com/files/1/a.zip");
    EXPECT_EQ(view.item_text(1, gcol_link), L"http://rapidshare.com/files/2/b.zip");
    grabber.paste_links(L"");
    EXPECT_EQ(view.item_count(), 2) << "an empty clipboard does nothing";
}

TEST_F(GrabberTest, VerificationWalksTheSelectedItemsInOrder) {
    add_links(5);
    view.select({0, 1, 2, 4});
    grabber.verify();
    EXPECT_TRUE(grabber.busy());
    EXPECT_EQ(host.verify_caption, texts::cancel_verify);
    EXPECT_FALSE(host.enabled(Grabber_button::get_links));
    EXPECT_TRUE(host.enabled(Grabber_button::verify));
    ASSERT_EQ(host.fetches.back().first, 0);
    EXPECT_EQ(host.fetches.back().second, L"http://rapidshare.com/files/1/f1.zip");

    grabber.notify(UM_RETRY_COUNT, 0, 1);
    EXPECT_EQ(view.item_text(0, gcol_retries), L"1");
    host.received = 2048;
    grabber.notify(UM_PROGRESS, 0, 0);
    EXPECT_EQ(view.status(0), L"2.0 KB");
    finish(0, k_found_page);
    EXPECT_EQ(view.status(0), text(texts::verified_link));
    EXPECT_EQ(view.item_text(0, gcol_file_name), L"a.zip");
    EXPECT_EQ(view.item_text(0, gcol_size), L"1024 KB");

    ASSERT_EQ(host.fetches.back().first, 1);
    fail(1, NT_ATTEMPTS_USED_UP, L"Download retries have been exceeded");
    EXPECT_EQ(view.status(1), L"Download retries have been exceeded")
        << "a failure keeps its text and verification goes on";

    ASSERT_EQ(host.fetches.back().first, 2);
    finish(2, k_premium_page);
    EXPECT_EQ(view.status(2), text(texts::premium_required));
    ASSERT_EQ(host.fetches.back().first, 4) << "item 3 is not selected";
    finish(4, k_missing_page);
    EXPECT_EQ(view.status(4), text(texts::file_not_found));

    EXPECT_EQ(grabber.state(), Links_grabber::State::idle);
    EXPECT_FALSE(grabber.busy());
    EXPECT_EQ(host.verify_caption, texts::verify);
    EXPECT_EQ(view.selected(), std::vector<int>{0}) << "only verified links stay selected";
    EXPECT_TRUE(host.enabled(Grabber_button::get_links));
    EXPECT_EQ(host.fetches.size(), 4u);
}

TEST_F(GrabberTest, VerificationEndsEarly) {
    struct Row {
        std::function<void(Grabber_rig&)> act;
        std::size_t fetches;
        std::wstring status0;
        const char* why;
    };
    const Row rows[] = {
        {[](Grabber_rig& t) { t.fail(0, NT_SESSION_OPEN_FAILED, L"no session"); }, 1, L"no session",
         "type 1 ends the whole verification"},
        {[](Grabber_rig& t) { t.grabber.verify(); }, 1, L"", "pressed again: cancelled"},
        {[](Grabber_rig& t) {
             t.grabber.verify();
             t.finish(0, k_found_page);
         },
         1, L"", "a notice after the cancel changes nothing"},
        {[](Grabber_rig& t) {
             t.host.answer = true;
             EXPECT_TRUE(t.grabber.close());
         },
         1, L"", "closing with Yes cancels it"},
    };
    for (const Row& row : rows) {
        Grabber_rig t;
        t.add_links(3);
        t.view.select({0, 1, 2});
        t.grabber.verify();
        row.act(t);
        EXPECT_EQ(t.host.fetches.size(), row.fetches) << row.why;
        EXPECT_EQ(t.view.status(0), row.status0) << row.why;
        EXPECT_EQ(t.grabber.state(), Links_grabber::State::idle) << row.why;
        EXPECT_FALSE(t.grabber.busy()) << row.why;
        EXPECT_FALSE(t.grabber.fetch_running()) << row.why;
        EXPECT_TRUE(t.view.selected().empty()) << row.why;
    }
}

TEST_F(GrabberTest, VerifyWithoutSelectionAndCloseQuestions) {
    add_links(1);
    grabber.verify();
    EXPECT_EQ(host.messages.back(), text(texts::select_to_verify));
    EXPECT_TRUE(host.fetches.empty());
    EXPECT_FALSE(grabber.busy());

    view.select({0});
    grabber.verify();
    host.answer = false;
    EXPECT_FALSE(grabber.close());
    EXPECT_EQ(host.messages.back(), text(texts::confirm_cancel_verification));
    EXPECT_EQ(host.close_requests, 0);
    EXPECT_EQ(grabber.state(), Links_grabber::State::verifying);

    host.messages.clear();
    grabber.verify();  // cancelled
    EXPECT_TRUE(grabber.close());
    EXPECT_TRUE(host.messages.empty()) << "closing while idle asks nothing";
    EXPECT_EQ(host.close_requests, 1);
}

TEST_F(GrabberTest, ClosingWhileGettingLinksStopsTheFetch) {
    grabber.get_links(L"http://x.org/");
    EXPECT_TRUE(grabber.close());
    EXPECT_FALSE(host.running);
    EXPECT_FALSE(grabber.fetch_running());
    EXPECT_EQ(host.close_requests, 1);
}

TEST_F(GrabberTest, AddChecksSelectionAndFolderThenClearsTheSelection) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path();
    add_links(2);
    grabber.add(folder.wstring());
    EXPECT_EQ(host.messages.back(), text(texts::select_to_add));
    EXPECT_EQ(host.adds, 0);

    view.select({1});
    grabber.add(L"/no/such/folder/anywhere");
    EXPECT_EQ(host.messages.back(), text(texts::invalid_save_folder));
    EXPECT_EQ(host.adds, 0);
    EXPECT_EQ(view.selected(), std::vector<int>{1});

    bool busy_while_adding = false;
    host.on_add = [&] {
        busy_while_adding = grabber.busy() && !host.enabled(Grabber_button::verify);
    };
    grabber.add(folder.wstring());
    EXPECT_EQ(host.adds, 1);
    EXPECT_TRUE(busy_while_adding);
    EXPECT_FALSE(grabber.busy());
    EXPECT_TRUE(view.selected().empty());
    EXPECT_TRUE(host.enabled(Grabber_button::verify));
}

TEST_F(GrabberTest, NextLinkWalksTheSelectionWithSafeNames) {
    view.append_item(L"1", L"http://rapidshare.com/files/1/from-link.zip");
    view.append_item(L"2", L"http://rapidshare.com/files/2/two.zip");
    view.append_item(L"3", L"http://rapidshare.com/files/3/three.zip");
    view.append_item(L"4", L"http://rapidshare.com/files/4/..");
    view.set_item_text(0, gcol_file_name, L"page-name.zip");
    view.set_item_text(2, gcol_file_name, L"../../escape.zip");
    view.select({0, 2, 3});
    int cursor = grabber.first_cursor();
    EXPECT_EQ(cursor, 1);

    struct Expect {
        std::wstring file_name;
        int cursor_after;
        const char* why;
    };
    const Expect expected[] = {
        {L"page-name.zip", 3, "the name verification found"},
        {L"three.zip", 4, "a page's name with a path falls back to the link's name"},
        {L"..", 0, "the link's own name is given as it is; the add checks it"},
    };
    for (const Expect& e : expected) {
        const auto link = grabber.next_link(cursor, L"/dl", L"note");
        ASSERT_TRUE(link) << e.why;
        EXPECT_EQ(link->file_name, e.file_name) << e.why;
        EXPECT_EQ(link->folder, L"/dl");
        EXPECT_EQ(link->description, L"note");
        EXPECT_EQ(cursor, e.cursor_after) << e.why;
    }
    EXPECT_FALSE(grabber.next_link(cursor, L"/dl", L"note"));
}

TEST(DroppedLinks, WhatADropOnTheListHolds) {
    using Kind = Dropped::Kind;
    struct Row {
        std::vector<std::wstring> files, links;
        std::wstring text;
        Kind kind;
        std::wstring value;
        const char* why;
    };
    const std::wstring a = L"http://rapidshare.com/files/1/A.zip";
    const std::wstring b = L"http://rapidshare.com/files/2/b.rar";
    const Row rows[] = {
        {{L"/home/u/My List.ZRV"},
         {},
         L"",
         Kind::list_file,
         L"/home/u/My List.ZRV",
         "a list file, any case of its suffix"},
        {{L"/home/u/a.zrv", L"/home/u/b.zrv"}, {}, L"", Kind::refused, L"", "two list files"},
        {{L"/home/u/a.txt"}, {}, a, Kind::refused, L"", "another local file, even with text"},
        {{L"/home/u/.zrv/"}, {}, L"", Kind::refused, L"", "a folder"},
        {{}, {a}, L"", Kind::one_link, a, "one link keeps its letters"},
        {{},
         {L"https://www.RapidShare.com/files/1/A.zip"},
         L"",
         Kind::one_link,
         L"http://RapidShare.com/files/1/A.zip",
         "the grabber's form of a link"},
        {{}, {}, L"see " + a + L" and again " + a, Kind::one_link, a, "the same link twice"},
        {{}, {}, a + b, Kind::several_links, a + b, "back to back in text"},
        {{}, {a, b}, L"ignored", Kind::several_links, a + L"\n" + b + L"\n", "two URLs"},
        {{}, {L"http://example.com/x.zip"}, a, Kind::refused, L"", "not the host's; text unused"},
        {{}, {}, L"no links here", Kind::refused, L"", "plain text"},
        {{}, {}, L"", Kind::refused, L"", "nothing"},
    };
    for (const Row& row : rows) {
        const Dropped dropped = classify_drop(row.files, row.links, row.text, Host_config{});
        EXPECT_EQ(dropped.kind, row.kind) << row.why;
        EXPECT_EQ(dropped.value, row.value) << row.why;
    }
}

}  // namespace
}  // namespace corvale
