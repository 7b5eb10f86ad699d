#include "model/row_texts.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "corvale/text_ids.h"
#include "model/download_fields.h"
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
        return format_message(texts::size_bytes, {std::to_wstring(bytes)});
    }
    if (bytes < mib) {
        return format_message(texts::size_kb, {fixed(static_cast<double>(bytes) / kib, 1)});
    }
    return format_message(texts::size_mb, {fixed(static_cast<double>(bytes) / mib, 2)});
}

std::wstring page_size_text(std::wstring_view given) {
    // A number (digits, a fraction after a point) and a unit, blanks around.
    std::string number;
    std::size_t at = given.find_first_not_of(L' ');
    for (; at < given.size() && ((given[at] >= L'0' && given[at] <= L'9') || given[at] == L'.');
         ++at) {
        number.push_back(static_cast<char>(given[at]));
    }
    std::wstring unit;
    for (; at < given.size(); ++at) {
        if (given[at] != L' ') {
            unit.push_back(given[at] >= L'a' && given[at] <= L'z' ? given[at] - L'a' + L'A'
                                                                  : given[at]);
        }
    }
    static constexpr std::pair<std::wstring_view, double> units[] = {
        {L"B", 1.0},
        {L"BYTES", 1.0},
        {L"KB", 1024.0},
        {L"MB", 1024.0 * 1024},
        {L"GB", 1024.0 * 1024 * 1024},
    };
    double value = 0;
    const auto read = std::from_chars(number.data(), number.data() + number.size(), value);
    if (number.empty() || read.ec != std::errc() || read.ptr != number.data() + number.size()) {
        return std::wstring(given);
    }
    for (const auto& [name, factor] : units) {
        const double bytes = value * factor;
        if (unit == name && bytes < 1e18) {
            return size_text(static_cast<std::uint64_t>(bytes + 0.5));
        }
    }
    return std::wstring(given);
}

std::wstring speed_text(double bytes_per_ms) {
    if (bytes_per_ms < 1.0) {
        return format_message(texts::speed_bytes, {fixed(bytes_per_ms * 1024.0, 0)});
    }
    return format_message(texts::speed_kb, {fixed(bytes_per_ms, bytes_per_ms < 10.0 ? 2 : 0)});
}

std::wstring rate_text(std::uint64_t bytes_per_second) {
    constexpr double kib = 1024.0;
    const auto rate = static_cast<double>(bytes_per_second);
    if (bytes_per_second < 1024) {
        return format_message(texts::rate_bytes, {std::to_wstring(bytes_per_second)});
    }
    if (rate < kib * kib) {
        const double kb = rate / kib;
        return format_message(texts::rate_kb, {fixed(kb, kb < 10.0 ? 1 : 0)});
    }
    if (rate < kib * kib * kib) {
        return format_message(texts::rate_mb, {fixed(rate / (kib * kib), 1)});
    }
    return format_message(texts::rate_gb, {fixed(rate / (kib * kib * kib), 1)});
}

std::wstring limit_text(std::uint64_t bytes_per_second) {
    if (bytes_per_second == 0) {
        return {};
    }
    return format_message(texts::limit_note, {rate_text(bytes_per_second)});
}

std::wstring time_left_text(std::uint32_t seconds) {
    if (seconds < 60) {
        return format_message(texts::time_seconds, {std::to_wstring(seconds)});
    }
    if (seconds % 60 == 0) {
        return format_message(texts::time_minutes, {std::to_wstring(seconds / 60)});
    }
    return format_message(texts::time_minutes_seconds,
                          {std::to_wstring(seconds / 60), std::to_wstring(seconds % 60)});
}

std::wstring elapsed_text(std::int64_t seconds) {
    const std::int64_t parts[] = {seconds / 86400, seconds / 3600 % 24, seconds / 60 % 60,
                                  seconds % 60};
    const std::wstring format = load_string(texts::elapsed_format);
    std::wstring out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const wchar_t field_letter = i + 1 < format.size() ? format[i + 1] : L'\0';
        const std::size_t field = std::wstring_view(L"DHMS").find(field_letter);
        if (format[i] != L'%' || field == std::wstring_view::npos) {
            out.push_back(format[i]);
            continue;
        }
        std::wstring number = std::to_wstring(parts[field]);
        if (field > 0 && number.size() < 2) {
            number.insert(0, 1, L'0');
        }
        out += number;
        ++i;
    }
    return out;
}

std::wstring countdown_text(int message_id, std::int64_t seconds) {
    return format_printf(load_string(message_id),
                         {std::to_wstring(seconds / 60), std::to_wstring(seconds % 60)});
}

std::wstring time_stamp(std::time_t when) {
    std::tm local{};
    if (::localtime_r(&when, &local) == nullptr) {
        return {};
    }
    wchar_t buffer[128];
    const std::size_t n = std::wcsftime(buffer, 128, L"%d-%m-%Y, %H:%M:%S", &local);
    return std::wstring(buffer, n);
}

std::wstring resume_text(const Download_record& record) {
    if (!record.info_known) {
        return k_unknown;
    }
    return record.resume_supported ? L"Yes" : L"No";
}

std::wstring status_column_text(const Download_record& record) {
    return valid_file_name(record.file_name) ? record.status_text
                                             : load_string(texts::invalid_file_name);
}

Row_texts row_texts(const Download_record& record) {
    Row_texts texts;
    texts[col_number] = std::to_wstring(record.display_number);
    texts[col_file_name] = record.file_name;
    texts[col_status] = status_column_text(record);
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

std::wstring full_local_path(const std::wstring& folder, const std::wstring& file_name) {
    std::wstring path = folder;
    if (!path.empty() && path.back() != k_path_separator) {
        path += k_path_separator;
    }
    return path + file_name;
}

std::wstring full_local_path(const Download_record& record) {
    return full_local_path(record.folder, record.file_name);
}

std::optional<double> progress_fraction(const Download_record& record) {
    if (record.file_size == 0) {
        return std::nullopt;
    }
    const auto downloaded =
        static_cast<std::uint64_t>(std::max<std::int64_t>(record.downloaded, 0));
    return downloaded >= record.file_size
               ? 1.0
               : static_cast<double>(downloaded) / static_cast<double>(record.file_size);
}

bool finished_whole(const Download_record& record) {
    return !record.running && record.file_size != 0 && record.downloaded > 0 &&
           static_cast<std::uint64_t>(record.downloaded) == record.file_size;
}

}  // namespace corvale
