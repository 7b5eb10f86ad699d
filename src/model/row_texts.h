#pragma once

// The texts that show a download: its list-view row, sizes and time stamps.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "corvale/text_ids.h"
#include "model/download_record.h"
#include "model/list_view.h"

namespace corvale {

// Columns of the list view.
enum Column : int {
    col_number = 0,
    col_auto,
    col_file_name,
    col_status,
    col_save_in,
    col_progress,
    col_size,
    col_time_left,
    col_speed,
    col_retries,
    col_resume,
    col_added_at,
    col_description,
    col_url,
};

// The text id of a column's title: the titles follow each other in the
// string table in the order of the columns.
inline constexpr int column_title_id(int column) {
    return texts::column_title_first + column;
}
static_assert(column_title_id(col_url) == texts::column_title_url);

// "512 Bytes", "1.5 KB", "3.00 MB" (in the current language).
std::wstring size_text(std::uint64_t bytes);

// A size as a web page gives it ("16384 KB", "10 MB", "512 Bytes") in the
// size text above, so it reads as every other size of the program, in its
// language. A text that does not read as a size is kept as given.
std::wstring page_size_text(std::wstring_view given);

// Local time as "%d-%m-%Y, %H:%M:%S" (a 24-hour clock: a 12-hour one without
// AM or PM could not tell morning from evening); empty when it cannot be
// converted. Stamps already stored keep the form they were written in.
std::wstring time_stamp(std::time_t when);

// "512 Bytes/Sec", "2.50 KB/Sec", "12 KB/Sec" for a speed in bytes per ms.
std::wstring speed_text(double bytes_per_ms);

// A rate in bytes per second, 1024-based like the limits are given:
// "512 Bytes/s", "2.5 KB/s", "64 KB/s", "2.0 MB/s", "1.5 GB/s".
std::wstring rate_text(std::uint64_t bytes_per_second);
// "limit 2.0 MB/s" for a speed limit; empty for none (0).
std::wstring limit_text(std::uint64_t bytes_per_second);

// "59 sec", "2 min", "2 min 5 sec".
std::wstring time_left_text(std::uint32_t seconds);

// "1 days, 01:01:01": the time a download has been running.
std::wstring elapsed_text(std::int64_t seconds);

// A countdown line: wait_countdown (before an attempt's request) or
// retry_countdown (before a retry) with the minutes and seconds of `seconds`.
std::wstring countdown_text(int message_id, std::int64_t seconds);

// "Yes" / "No" after the flag when the info is known, else "???".
std::wstring resume_text(const Download_record& record);

// The Status column: the record's status text, or "Invalid file name" for a
// record whose name fails the file-name rule (a list file from elsewhere may
// hold one). The refusal is only shown: the status text that the list file
// keeps stays as it was.
std::wstring status_column_text(const Download_record& record);

Row_texts row_texts(const Download_record& record);

// The folder, a separator unless the folder already ends with one, the name.
std::wstring full_local_path(const std::wstring& folder, const std::wstring& file_name);
std::wstring full_local_path(const Download_record& record);

// How much of the file is there, from 0 to 1, when its size is known; none
// while it is unknown. More bytes than the size (a file that grew on the
// host) count as the whole.
std::optional<double> progress_fraction(const Download_record& record);
// The download is not running and has every byte of its known size: its
// file is there whole, unless it was moved or deleted since.
bool finished_whole(const Download_record& record);

}  // namespace corvale
