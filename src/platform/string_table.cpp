#include "platform/string_table.h"

#include <atomic>

#include "platform/wide_text.h"

namespace corvale {

namespace {

std::shared_ptr<const String_table> make_builtin_table() {
    auto table = std::make_shared<String_table>();
    for (std::size_t i = 0; i < k_builtin_string_count; ++i) {
        table->emplace(k_builtin_strings[i].id, k_builtin_strings[i].text);
    }
    return table;
}

const std::shared_ptr<const String_table>& builtin_table() {
    static const std::shared_ptr<const String_table> table = make_builtin_table();
    return table;
}

std::atomic<std::shared_ptr<const String_table>>& active_table() {
    static std::atomic<std::shared_ptr<const String_table>> table{builtin_table()};
    return table;
}

}  // namespace

std::wstring load_string(int id) {
    const auto table = active_table().load();
    const auto it = table->find(id);
    return it == table->end() ? std::wstring{} : it->second;
}

std::atomic<bool>& right_to_left_texts() {
    static std::atomic<bool> right_to_left{false};
    return right_to_left;
}

void install_string_table(std::shared_ptr<const String_table> table, bool right_to_left) {
    right_to_left_texts().store(table && right_to_left);
    active_table().store(table ? std::move(table) : builtin_table());
}

bool texts_right_to_left() {
    return right_to_left_texts().load();
}

std::wstring embed_data(std::wstring_view data) {
    if (!texts_right_to_left() || data.empty()) {
        return std::wstring(data);
    }
    return L"\u2068" + std::wstring(data) + L"\u2069";
}

std::wstring format_string(std::wstring_view format, const std::vector<std::wstring_view>& args) {
    std::wstring out;
    out.reserve(format.size());
    for (std::size_t i = 0; i < format.size(); ++i) {
        const wchar_t next = i + 1 < format.size() ? format[i + 1] : L'\0';
        const bool digit = next >= L'0' && next <= L'9';
        if (format[i] != L'%' || !(digit || (next >= L'A' && next <= L'Z'))) {
            out.push_back(format[i]);
            continue;
        }
        const int index = digit ? next - L'1' : 9 + (next - L'A');
        if (index >= 0 && static_cast<std::size_t>(index) < args.size()) {
            out.append(embed_data(args[static_cast<std::size_t>(index)]));
        } else {
            out.push_back(L'?');
        }
        ++i;
    }
    return out;
}

std::wstring format_printf(std::wstring_view format, const std::vector<std::wstring_view>& args) {
    std::wstring out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const wchar_t conversion = i + 1 < format.size() ? format[i + 1] : L'\0';
        if (format[i] != L'%' || (conversion != L'i' && conversion != L'd' && conversion != L's' &&
                                  conversion != L'%')) {
            out.push_back(format[i]);
            continue;
        }
        if (conversion == L'%') {
            out.push_back(L'%');
        } else if (next < args.size()) {
            out.append(embed_data(args[next++]));
        }
        ++i;
    }
    return out;
}

std::wstring format_message(int id, const std::vector<std::wstring_view>& args) {
    return format_string(load_string(id), args);
}

}  // namespace corvale
