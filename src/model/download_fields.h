#pragma once

// What the Add and Edit download dialogs check before anything reaches the
// download list, in the order they check it, and the name a link gives for
// "Same As URL". The dialogs only show the message a check names.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace corvale {

// Characters a file name may not hold; "." and "..", NUL and control
// characters are refused as well.
inline constexpr std::wstring_view k_reserved_name_characters = L"\\/:*?\"<>|";
// The longest file name, in bytes of its native form, that file systems take.
inline constexpr std::size_t k_file_name_bytes = 255;
// Folder and description texts are cut at this many characters.
inline constexpr std::size_t k_field_limit = 259;

struct Download_fields {
    std::wstring url;
    std::wstring folder;
    std::wstring file_name;
    std::wstring description;
};

// The outcome of a dialog's OK: the fields as they are to be stored, or the
// text id (texts::...) of the message of the first check that failed.
struct Checked_fields {
    int message = 0;  // 0: every check passed
    Download_fields fields;
};

// The one rule for a local file name, wherever a name comes from (the
// dialogs, corvale-cli add, a loaded list, the links grabber, and once more
// before a download opens its file): not empty, not "." or "..", none of the
// reserved characters, no control character (C0, DEL, C1), and at most
// k_file_name_bytes bytes as the file system sees it. A name that passes
// stays inside the folder it is joined to.
bool valid_file_name(std::wstring_view name);
// Whether the folder names an existing directory.
bool is_existing_folder(const std::wstring& folder);

// The Add dialog's OK: the link made usable ("http://" in front unless it
// has http:// or https://) and fetchable (else invalid_url), an existing
// folder (invalid_folder), a valid file name (invalid_file_name, how every
// refusal of a name reads).
Checked_fields check_new_download(const Download_fields& typed);
// The Edit dialog's OK: a link unless it is locked (empty_url, nothing
// added), an existing folder (invalid_folder), a valid file name unless it is
// locked (invalid_file_name).
Checked_fields check_edited_download(const Download_fields& typed, bool url_locked,
                                     bool name_locked);

// "Same As URL": the part of the link after its last slash; an empty text
// when the link ends with a slash (the name is left as it is); no value when
// the link has no slash at all (no_name_in_link).
std::optional<std::wstring> name_from_link(std::wstring_view link);

}  // namespace corvale
