#include "model/row_texts.h"
#include "corvale/text_ids.h"

#include <gtest/gtest.h>

#include "support/time_zone.h"

namespace corvale {
namespace {

TEST(RowTexts, SizeTextBoundaries) {
    struct Row {
        std::uint64_t bytes;
        std::wstring text;
    } rows[] = {
        {0, L"0 Bytes"},
        {512, L"512 Bytes"},
        {1023, L"1023 Bytes"},
        {1024, L"1.0 KB"},
        {1536, L"1.5 KB"},
        {1048575, L"1024.0 KB"},
        {1048576, L"1.00 MB"},
        {3145728, L"3.00 MB"},
        {4294967295u, L"4096.00 MB"},
        {5368709120u, L"5120.00 MB"},  // 5 GiB: past 32 bits
    };
    for (const Row& row : rows) {
        EXPECT_EQ(size_text(row.bytes), row.text) << row.bytes;
    }
}

// A page's size reads as the program's own sizes; what is not a size stays.
TEST(RowTexts, PageSizeText) {
    struct Row {
        std::wstring given, shown;
    } rows[] = {
        {L"16384 KB", L"16.00 MB"},
        {L"10 MB", L"10.00 MB"},
        {L"1 KB", L"1.0 KB"},
        {L" 512 Bytes ", L"512 Bytes"},
        {L"1.5 kb", L"1.5 KB"},
        {L"2 GB", L"2048.00 MB"},
        {L"1023.4 B", L"1023 Bytes"},
        {L"0 KB", L"0 Bytes"},
        {L"", L""},
        {L"KB", L"KB"},
        {L"1.2.3 MB", L"1.2.3 MB"},
        {L"-5 KB", L"-5 KB"},
        {L"12 TB", L"12 TB"},
        {L"about 3 MB", L"about 3 MB"},
        {L"99e99 GB", L"99e99 GB"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(page_size_text(row.given), row.shown) << row.given;
    }
}

TEST(RowTexts, TransferTexts) {
    struct Row {
        std::wstring actual, expected;
    } rows[] = {
        {speed_text(0.5), L"512 Bytes/Sec"},
        {speed_text(0.0), L"0 Bytes/Sec"},
        {speed_text(2.5), L"2.50 KB/Sec"},
        {speed_text(12.4), L"12 KB/Sec"},
        {speed_text(9.999), L"10.00 KB/Sec"},
        {time_left_text(59), L"59 sec"},
        {time_left_text(120), L"2 min"},
        {time_left_text(125), L"2 min 5 sec"},
        {time_left_text(60), L"1 min"},
        {elapsed_text(90061), L"1 days, 01:01:01"},
        {elapsed_text(59), L"0 days, 00:00:59"},
        {elapsed_text(0), L"0 days, 00:00:00"},
        {countdown_text(texts::wait_countdown, 75),
         L" 1 minutes and 15 seconds to start downloading"},
        {countdown_text(texts::retry_countdown, 9), L" 0 minutes and 9 seconds to retry download"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.actual, row.expected);
    }
}

TEST(RowTexts, TimeStampUsesTheTwentyFourHourClock) {
    struct Row {
        const char* zone;
        std::time_t when;
        std::wstring text;
        const char* why;
    } rows[] = {
        {"UTC", 0, L"01-01-1970, 00:00:00", "midnight is hour 00, not 12"},
        {"UTC", 1700000000, L"14-11-2023, 22:13:20", "evening keeps its hour"},
        {"UTC", 1700000000 - 12 * 3600, L"14-11-2023, 10:13:20", "morning differs from evening"},
        {"UTC", 1700000000 + 3600 + 23 * 60 + 36, L"14-11-2023, 23:36:56", "23:36"},
        {"XYZ-3", 1700000000, L"15-11-2023, 01:13:20", "local time, across midnight"},
    };
    for (const Row& row : rows) {
        const testing::Scoped_time_zone zone(row.zone);
        EXPECT_EQ(time_stamp(row.when), row.text) << row.why;
    }
}

TEST(RowTexts, RowShowsUnknownValuesAsQuestionMarks) {
    Download_record record;
    record.display_number = 7;
    record.file_name = L"a.zip";
    record.folder = L"/home/u/dl";
    record.status_text = L"Finished Downloading File";
    record.resume_supported = true;  // ignored while the info is unknown
    record.added_at = L"01-02-2024, 03:04:05";
    record.description = L"desc";
    record.url = L"http://rapidshare.com/files/123/a.zip";
    Row_texts texts = row_texts(record);
    const Row_texts unknown = {L"7",          L"",
                               L"a.zip",      L"Finished Downloading File",
                               L"/home/u/dl", L"???",
                               L"???",        L"",
                               L"",           L"",
                               L"???",        L"01-02-2024, 03:04:05",
                               L"desc",       L"http://rapidshare.com/files/123/a.zip"};
    EXPECT_EQ(texts, unknown);

    record.info_known = true;
    record.downloaded = 1536;
    record.file_size = 3145728;
    texts = row_texts(record);
    EXPECT_EQ(texts[col_progress], L"1.5 KB");
    EXPECT_EQ(texts[col_size], L"3.00 MB");
    EXPECT_EQ(texts[col_resume], L"Yes");
    record.downloaded = -5;
    EXPECT_EQ(row_texts(record)[col_progress], L"???");
}

TEST(RowTexts, FullLocalPath) {
    struct Row {
        std::wstring folder, path;
    } rows[] = {
        {L"/home/u/dl", L"/home/u/dl/a.zip"},
        {L"/home/u/dl/", L"/home/u/dl/a.zip"},
        {L"/", L"/a.zip"},
        {L"", L"a.zip"},
    };
    for (const Row& row : rows) {
        Download_record record;
        record.folder = row.folder;
        record.file_name = L"a.zip";
        EXPECT_EQ(full_local_path(record), row.path);
    }
}

TEST(RowTexts, ProgressFractionAndFinishedWhole) {
    struct Row {
        std::uint64_t size;
        std::int64_t downloaded;
        bool running;
        std::optional<double> fraction;
        bool finished;
        const char* why;
    };
    const Row rows[] = {
        {0, 500, false, std::nullopt, false, "size unknown: no fraction, never finished"},
        {1000, 0, false, 0.0, false, "nothing yet"},
        {1000, -1, false, 0.0, false, "progress unknown reads as nothing"},
        {1000, 450, false, 0.45, false, "part of it"},
        {1000, 1000, false, 1.0, true, "every byte"},
        {1000, 1000, true, 1.0, false, "a running download is not finished"},
        {1000, 1200, false, 1.0, false, "more than the size: whole bar, but not the file sized"},
        {5ull << 30, 5ll << 29, false, 0.5, false, "past 4 GiB"},
    };
    for (const Row& row : rows) {
        Download_record record;
        record.file_size = row.size;
        record.downloaded = row.downloaded;
        record.running = row.running;
        EXPECT_EQ(progress_fraction(record), row.fraction) << row.why;
        EXPECT_EQ(finished_whole(record), row.finished) << row.why;
    }
}

}  // namespace
}  // namespace corvale
