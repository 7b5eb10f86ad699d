#pragma once

// The list file: UTF-16LE text with a byte-order mark, sixteen CR LF lines per
// download, at most 10 MiB. The path of the last list saved, or loaded as a
// new list, is remembered in the profile as "last_list".

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// A list file that another program holds (its lock): it can be read, never
// saved over. The message names the file.
class List_in_use : public Settings_file_error {
  public:
    explicit List_in_use(const std::wstring& path);
};

// Why a save failed, for a caller that offers another way.
enum class Save_failure {
    none,
    in_use,           // another program holds the file (list_in_use)
    not_replaceable,  // the file may not be written, or is no file (save_delete_failed)
    other,            // no folder, or a failed create or write (save_delete_failed or
                      // save_open_failed)
};

// Writes the list; false when it was not written (save_delete_failed,
// save_open_failed or list_in_use is shown; for a failed write,
// save_open_failed with the system's reason) and then `why`, if given, says
// why. The file it replaces is kept intact until the new one
// is complete, and its permissions pass to the new one. A file that another
// program holds, or that the user may not write, is left as it is. On success
// the list holds the new file's lock (the lock passes from the old file to
// the new one without a gap), is unmodified and no longer read-only, its path
// is `path`, and the profile remembers it.
bool save_list(Download_list& list, const std::wstring& path, Save_failure* why = nullptr);

// Whether save_list could write `path` now, tried without changing it; when
// not, shows what save_list would show.
bool check_list_saveable(Download_list& list, const std::wstring& path);

// How a new list is loaded: holding its file's lock until the last save
// (refused with List_in_use while another program holds it), or read-only,
// without a lock (the list is then saved only under another name).
enum class List_access { locked, read_only };

// Loads the file as the new list (merge false: the caller emptied the view and
// fills it with fill_rows afterwards) or merges its records into the list
// (merge true: duplicates are asked about or skipped; the caller gives the
// merged records rows with fill_missing_rows). A record keeps the display
// number the file holds for it while that is above every number given out so
// far. Throws Settings_file_error, and then changes nothing but the modified
// flag of a merge: a file that cannot be read, is too big, or holds no record
// without being an empty list file (another program's file) is refused.
// A new list is loaded as `access` says and lets go of the old list's lock;
// a merged file is only read, never locked.
// Gives the number of complete records the file holds, appended or not.
std::size_t load_list(Download_list& list, const std::wstring& path, bool merge,
                      List_access access = List_access::locked);

// A list file read and checked (the same refusals as load_list) but not yet
// put into a list; it holds the file's lock when it is to be a new list.
// Lets a caller stop what depends on the old list only once the new one is
// known to load.
struct List_file {
    std::wstring path;
    bool merge = false;
    List_access access = List_access::locked;
    bool locking = false;
    File_lock lock;
    std::vector<std::pair<Download_record, std::int64_t>> records;  // with stored numbers
};
List_file read_list_file(const Download_list& list, const std::wstring& path, bool merge,
                         List_access access = List_access::locked);
// Puts what was read into the list as load_list does; the number of records.
std::size_t apply_list_file(Download_list& list, List_file read);

// Whether the bytes are a list file without a record: nothing, or the
// byte-order mark alone.
bool is_empty_list_file(std::string_view bytes);

// Start-up: loads the profile's "last_list", if any, and fills the rows. A
// failure's message is given back for the caller to show.
struct Last_list {
    bool loaded = false;
    std::optional<std::wstring> failure;
    bool in_use = false;  // the failure: another program holds the file
};
Last_list load_last_list(Download_list& list, List_view& view);

}  // namespace corvale
