#pragma once

// The program's texts, addressed by number; the code names each number
// (texts::invalid_url, from corvale/text_ids.h, which the build generates
// from res/string_names.txt). The English table is compiled in from
// res/strings_en.txt; another language's bundle (same format) can be
// installed at start-up, before any worker runs. Lookups are thread-safe:
// workers load their status texts from their own threads.

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvale {

using String_table = std::map<int, std::wstring>;

// Parses the table format: UTF-8 lines "ID<TAB>text"; blank lines and lines
// starting with '#' are skipped; \n \t \\ \" are escapes. On a malformed line
// gives no value and describes the fault (with its line number) in `error`.
std::optional<String_table> parse_string_table(std::string_view utf8, std::string& error);

// The text of `id` in the active table; empty when the table has no such id.
std::wstring load_string(int id);

// Makes `table` the active one (nullptr: back to the built-in English table).
// `right_to_left`: its language is written right to left.
void install_string_table(std::shared_ptr<const String_table> table, bool right_to_left = false);
bool texts_right_to_left();

// Data put into a text of the active table (a path, a link, a number): in a
// right-to-left language it is wrapped in first-strong isolate marks (U+2068
// ... U+2069), so that "/tmp" reads "/tmp" and not "tmp/" among Arabic
// words; otherwise it is returned as it is. The formatting functions below
// apply it to every argument.
std::wstring embed_data(std::wstring_view data);

// The %1..%9 substitution of the message formatting: "%1" takes args[0] and so
// on; a placeholder without an argument (and %0, %A..%Z) gives '?'; a '%'
// followed by anything else is kept as it is.
std::wstring format_string(std::wstring_view format, const std::vector<std::wstring_view>& args);
std::wstring format_message(int id, const std::vector<std::wstring_view>& args);

// printf-style texts of the table ("%i files are left", "%s"): each %i, %d or
// %s takes the next argument in order; "%%" is a percent sign.
std::wstring format_printf(std::wstring_view format, const std::vector<std::wstring_view>& args);

// The compiled-in English table, generated at build time.
struct Builtin_string {
    int id;
    const wchar_t* text;
};
extern const Builtin_string k_builtin_strings[];
extern const std::size_t k_builtin_string_count;

}  // namespace corvale
