#include "model/download_fields.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "corvale/text_ids.h"
#include "platform/file_io.h"
#include "platform/url.h"
#include "platform/wide_text.h"

namespace corvale {

namespace {

constexpr std::size_t k_same_as_url_limit = 2047;

// A link the program can fetch: http or https, with a host name.
bool fetchable(const std::wstring& link) {
    const auto parsed = parse_url(link);
    return parsed && !parsed->server.empty() &&
           (parsed->service == Service_type::http || parsed->service == Service_type::https);
}

std::wstring cut(const std::wstring& text) {
    return text.substr(0, std::min(text.size(), k_field_limit));
}

}  // namespace

bool valid_file_name(std::wstring_view name) {
    // Judged as the file system sees it: the bytes the name is created with,
    // read back. Escaped bytes that together spell a character are that
    // character on disk (U+DCC2 U+DC85 is the C1 control U+0085), and the
    // length is that of those bytes, not of any other spelling.
    const std::string native = encode_utf8(name);
    if (native.size() > k_file_name_bytes) {
        return false;
    }
    const std::wstring seen = decode_native(native);
    if (seen.empty() || seen == L"." || seen == L"..") {
        return false;
    }
    return std::none_of(seen.begin(), seen.end(), [](wchar_t c) {
        const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);  // C0, DEL and C1
        return control || k_reserved_name_characters.find(c) != std::wstring_view::npos;
    });
}

bool is_existing_folder(const std::wstring& folder) {
    std::error_code error;
    return !folder.empty() && std::filesystem::is_directory(to_path(folder), error);
}

Checked_fields check_new_download(const Download_fields& typed) {
    Checked_fields checked;
    if (typed.url.empty()) {
        checked.message = texts::invalid_url;
        return checked;
    }
    checked.fields.url = usable_link(typed.url);
    if (!fetchable(checked.fields.url)) {
        checked.message = texts::invalid_url;
        return checked;
    }
    checked.fields.folder = cut(typed.folder);
    if (!is_existing_folder(checked.fields.folder)) {
        checked.message = texts::invalid_folder;
        return checked;
    }
    if (!valid_file_name(typed.file_name)) {
        checked.message = texts::invalid_file_name;
        return checked;
    }
    checked.fields.file_name = typed.file_name;
    checked.fields.description = cut(typed.description);
    return checked;
}

Checked_fields check_edited_download(const Download_fields& typed, bool url_locked,
                                     bool name_locked) {
    Checked_fields checked;
    if (typed.url.empty() && !url_locked) {
        checked.message = texts::empty_url;
        return checked;
    }
    checked.fields.url = typed.url;
    if (!is_existing_folder(typed.folder)) {
        checked.message = texts::invalid_folder;
        return checked;
    }
    checked.fields.folder = typed.folder;
    if (!name_locked && !valid_file_name(typed.file_name)) {
        checked.message = texts::invalid_file_name;
        return checked;
    }
    checked.fields.file_name = typed.file_name;
    checked.fields.description = typed.description;
    return checked;
}

std::optional<std::wstring> name_from_link(std::wstring_view link) {
    link = link.substr(0, std::min(link.size(), k_same_as_url_limit));
    const std::size_t slash = link.rfind(L'/');
    if (slash == std::wstring_view::npos) {
        return std::nullopt;
    }
    return std::wstring(link.substr(slash + 1));
}

}  // namespace corvale
