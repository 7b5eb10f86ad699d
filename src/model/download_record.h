#pragma once

#include <cstdint>
#include <string>

namespace corvale {

class Progress_window;

// One download of the list. Byte counts are 64-bit so that files of 4 GiB and
// more keep correct sizes.
struct Download_record {
    bool info_known = false;  // size and resume capability are known
    std::wstring folder;
    std::wstring file_name;
    std::wstring description;
    std::wstring url;
    std::wstring status_text;
    std::wstring last_error_text;  // not stored in the list file
    std::int32_t retries = 0;
    bool resume_supported = false;
    std::uint16_t spare_number = 0;  // carried through the list file unchanged
    bool spare_flag = false;         // carried through the list file unchanged
    std::uint64_t file_size = 0;     // 0: unknown
    std::int64_t downloaded = 0;     // 0 or less: unknown
    float spare_real = 0.0f;         // carried through the list file unchanged
    // The number column "No." shows: the download number plus 1, the
    // record's own for good (kept in the list file across runs).
    std::uint32_t display_number = 0;
    std::wstring added_at;

    // Not stored in the list file:
    Progress_window* dlg_ptr = nullptr;  // attached while the download is open; not owned
    std::int32_t download_number = -1;   // identifier, also the item data of its row
    std::int32_t list_row = -1;
    bool running = false;
    bool marked_for_deletion = false;
};

}  // namespace corvale
