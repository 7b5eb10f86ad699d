#pragma once

// The list file: UTF-16LE text with a byte-order mark, sixteen CR LF lines per
// download, at most 10 MiB. The path of the last list saved, or loaded as a
// new list, is remembered in the profile as "last_list".

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/download_list.h"
#include "model/settings_file_error.h"

namespace corvale {

inline constexpr std::uint64_t k_list_file_limit = 10485760;
inline constexpr const wchar_t* k_last_list_key = L"last_list";
inline constexpr int k_record_lines = 16;

// The sixteen lines of a record as the list file holds them; `position` is
// the record's place in the file, from 1. A CR or LF inside a text would split
// the record when read back, so it is written as a space.
std::array<std::wstring, k_record_lines> record_lines(const Download_record& record, int position);

// Writes the list; false when it was not written (message 146 or 147 is
// shown; for a failed write, 147 with the system's reason). The file it replaces is kept intact
// until the new one is complete. On success the list is unmodified, its path
// is `path`, and the profile remembers it.
bool save_list(Download_list& list, const std::wstring& path);

// Loads the file as the new list (merge false: the caller emptied the view and
// fills it with fill_rows afterwards) or merges its records into the list
// (merge true: duplicates are asked about or skipped; the caller gives the
// merged records rows with fill_missing_rows). A record keeps the display
// number the file holds for it while that is above every number given out so
// far. Throws Settings_file_error, and then changes nothing but the modified
// flag of a merge: a file that cannot be read, is too big, or holds no record
// without being an empty list file (another program's file) is refused.
// Gives the number of complete records the file holds, appended or not.
std::size_t load_list(Download_list& list, const std::wstring& path, bool merge);

// Whether the bytes are a list file without a record: nothing, or the
// byte-order mark alone.
bool is_empty_list_file(std::string_view bytes);

// Start-up: loads the profile's "last_list", if any, and fills the rows. A
// failure's message is given back for the caller to show.
struct Last_list {
    bool loaded = false;
    std::optional<std::wstring> failure;
};
Last_list load_last_list(Download_list& list, List_view& view);

}  // namespace corvale
