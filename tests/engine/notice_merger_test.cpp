#include "engine/notice_merger.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace corvale {
namespace {

using std::chrono::milliseconds;

Ended_download ended(const std::wstring& name, bool succeeded, const std::wstring& folder = L"/d") {
    return {name, succeeded ? L"Download complete" : L"Retries exceeded", folder + L"/" + name,
            folder, succeeded};
}

// Each row adds its ends at the given times (ms from the first) and takes
// what is due at `taken_at`; queue ends are named "queue".
TEST(Notice_merger_test, EndsWithinASecondAreOneNotice) {
    struct Step {
        int at_ms;
        Ended_download download;  // empty name: the queue's end
    };
    struct Row {
        const char* name;
        std::vector<Step> steps;
        int taken_at;
        std::vector<Notice> notices;  // what the takes at taken_at and later give
    };
    const Ended_download queue{};
    const std::wstring queue_line = L"The automatic downloads have finished";
    const std::vector<Row> rows = {
        {"one finished: its name, status, file and folder",
         {{0, ended(L"a.zip", true)}},
         1000,
         {{L"a.zip", L"Download complete", L"/d/a.zip", L"/d"}}},
        {"one failed: its folder only",
         {{0, ended(L"a.zip", false)}},
         1000,
         {{L"a.zip", L"Retries exceeded", L"", L"/d"}}},
        {"nothing before the second is over", {{0, ended(L"a.zip", true)}}, 999, {}},
        {"three within the second, one folder",
         {{0, ended(L"a", true)}, {500, ended(L"b", true)}, {999, ended(L"c", true)}},
         1000,
         {{L"3 downloads finished", L"a\nb\nc", L"", L"/d"}}},
        {"failed and mixed, two folders",
         {{0, ended(L"a", false)}, {10, ended(L"b", false, L"/e")}},
         1000,
         {{L"2 downloads failed", L"a\nb", L"", L""}}},
        {"some failed",
         {{0, ended(L"a", true)}, {10, ended(L"b", false)}, {20, ended(L"c", true)}},
         1000,
         {{L"3 downloads ended, 1 of them failed", L"a\nb\nc", L"", L"/d"}}},
        {"names are bounded",
         {{0, ended(L"1", true)},
          {1, ended(L"2", true)},
          {2, ended(L"3", true)},
          {3, ended(L"4", true)},
          {4, ended(L"5", true)},
          {5, ended(L"6", true)},
          {6, ended(L"7", true)}},
         1000,
         {{L"7 downloads finished", L"1\n2\n3\n4\n5\nand 2 more", L"", L"/d"}}},
        {"the queue's end alone", {{0, queue}}, 1000, {{queue_line, L"", L"", L""}}},
        {"the last download and the queue's end",
         {{0, ended(L"a.zip", true)}, {1, queue}},
         1000,
         {{L"a.zip", L"Download complete\n" + queue_line, L"/d/a.zip", L"/d"}}},
        {"an end after the second starts a notice of its own",
         {{0, ended(L"a", true)}, {1000, ended(L"b", true)}},
         2000,
         {{L"a", L"Download complete", L"/d/a", L"/d"},
          {L"b", L"Download complete", L"/d/b", L"/d"}}},
    };
    for (const Row& row : rows) {
        auto now = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
        const auto start = now;
        Notice_merger merger([&] { return now; });
        std::vector<Notice> taken;
        for (const Step& step : row.steps) {
            now = start + milliseconds(step.at_ms);
            // Whatever is due when the step comes is taken first, as the
            // window's timer would have.
            if (auto notice = merger.take()) {
                taken.push_back(*notice);
            }
            if (step.download.file_name.empty()) {
                merger.add_queue_finished();
            } else {
                merger.add(step.download);
            }
        }
        now = start + milliseconds(row.taken_at);
        if (auto notice = merger.take()) {
            taken.push_back(*notice);
        }
        EXPECT_EQ(taken.size(), row.notices.size()) << row.name;
        for (std::size_t i = 0; i < taken.size() && i < row.notices.size(); ++i) {
            EXPECT_EQ(taken[i].title, row.notices[i].title) << row.name;
            EXPECT_EQ(taken[i].body, row.notices[i].body) << row.name;
            EXPECT_EQ(taken[i].file, row.notices[i].file) << row.name;
            EXPECT_EQ(taken[i].folder, row.notices[i].folder) << row.name;
        }
        EXPECT_EQ(merger.waiting(), taken.size() < row.notices.size() || row.notices.empty())
            << row.name;
    }
}

}  // namespace
}  // namespace corvale
