#include "platform/string_table.h"
#include "platform/wide_text.h"

namespace corvale {

namespace {

std::optional<std::wstring> unescape(std::string_view raw) {
    std::string bytes;
    bytes.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            bytes.push_back(raw[i]);
            continue;
        }
        if (++i == raw.size()) {
            return std::nullopt;
        }
        switch (raw[i]) {
            case 'n':
                bytes.push_back('\n');
                break;
            case 't':
                bytes.push_back('\t');
                break;
            case '\\':
            case '"':
                bytes.push_back(raw[i]);
                break;
            default:
                return std::nullopt;
        }
    }
    return decode_ansi(bytes);
}

}  // namespace

std::optional<String_table> parse_string_table(std::string_view utf8, std::string& error) {
    String_table table;
    std::size_t line_number = 0;
    while (!utf8.empty()) {
        ++line_number;
        const std::size_t end = utf8.find('\n');
        std::string_view line = utf8.substr(0, end);
        utf8 = end == std::string_view::npos ? std::string_view{} : utf8.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line_number == 1 && line.starts_with("\xEF\xBB\xBF")) {
            line.remove_prefix(3);
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const std::size_t tab = line.find('\t');
        const std::string_view id_text = line.substr(0, tab);
        const bool digits_only = !id_text.empty() && id_text.size() <= 9 &&
                                 id_text.find_first_not_of("0123456789") == std::string_view::npos;
        std::optional<std::wstring> text;
        if (tab != std::string_view::npos && digits_only) {
            text = unescape(line.substr(tab + 1));
        }
        const int id = digits_only ? parse_int(id_text) : 0;
        if (!text || !table.emplace(id, std::move(*text)).second) {
            error =
                "line " + std::to_string(line_number) +
                (text ? ": the id is given twice" : ": expected ID<TAB>text with valid escapes");
            return std::nullopt;
        }
    }
    return table;
}

}  // namespace corvale
