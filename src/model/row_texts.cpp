#include "model/row_texts.h"

#include <charconv>

#include "platform/string_table.h"

namespace corvale {

namespace {

constexpr const wchar_t* k_unknown = L"???";
constexpr wchar_t k_path_separator = L'/';

// Fixed-point text that does not depend on the process locale.
std::wstring fixed(double value, int decimals) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return std::wstring(buffer, result.ptr);
}

}  // namespace

std::wstring size_text(std::uint64_t bytes) {
    constexpr std::uint64_t kib = 1024;
    constexpr std::uint64_t mib = 1024 * 1024;
    if (bytes < kib) {
        return format_message(121, {std::to_wstring(bytes)});
    }
    if (bytes < mib) {
        return format_message(123, {fixed(static_cast<double>(bytes) / kib, 1)});
    }
    return format_message(125, {fixed(static_cast<double>(bytes) / mib, 2)});
}

std::wstring time_stamp(std::time_t when) {
    std::tm local{};
    if (::localtime_r(&when, &local) == nullptr) {
        return {};
    }
    wchar_t buffer[128];
    const std::size_t n = std::wcsftime(buffer, 128, L"%d-%m-%Y, %I:%M:%S", &local);
    return std::wstring(buffer, n);
}

std::wstring resume_text(const Download_record& record) {
    if (!record.info_known) {
        return k_unknown;
    }
    return record.resume_supported ? L"Yes" : L"No";
}

Row_texts row_texts(const Download_record& record) {
    Row_texts texts;
    texts[col_number] = std::to_wstring(record.display_number);
    texts[col_file_name] = record.file_name;
    texts[col_status] = record.status_text;
    texts[col_save_in] = record.folder;
    texts[col_progress] = record.downloaded > 0
                              ? size_text(static_cast<std::uint64_t>(record.downloaded))
                              : k_unknown;
    texts[col_size] = record.file_size != 0 ? size_text(record.file_size) : k_unknown;
    texts[col_resume] = resume_text(record);
    texts[col_added_at] = record.added_at;
    texts[col_description] = record.description;
    texts[col_url] = record.url;
    return texts;
}

std::wstring full_local_path(const Download_record& record) {
    std::wstring path = record.folder;
    if (!path.empty() && path.back() != k_path_separator) {
        path += k_path_separator;
    }
    return path + record.file_name;
}

}  // namespace corvale
