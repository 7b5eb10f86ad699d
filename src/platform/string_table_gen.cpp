// Build-time generator: turns the English string table into the compiled-in
// table, and the names of its texts into the header of named ids.
// Usage: string_table_gen ENGLISH NAMES OTHER_LANGUAGE TABLE_OUT IDS_OUT
//
// It fails, saying why, when the names and the tables disagree: an English
// text without a name, a name without a text, a name or an id named twice,
// a name that cannot be a C++ name, or an id of the other language that the
// English table lacks (that text could never be shown).

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/string_table.h"

namespace {

struct Name {
    int id;
    std::string name;
    std::size_t line;
};

// The paths of the three inputs, for the messages.
struct Inputs {
    const char* english;
    const char* names;
    const char* other;
};

std::optional<std::string> read_file(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    if (!in) {
        std::cerr << path << ": cannot be read\n";
        return std::nullopt;
    }
    return content.str();
}

std::optional<corvale::String_table> read_table(const char* path) {
    const auto content = read_file(path);
    if (!content) {
        return std::nullopt;
    }
    std::string error;
    auto table = corvale::parse_string_table(*content, error);
    if (!table) {
        std::cerr << path << ": " << error << '\n';
    }
    return table;
}

// C++ keywords and alternative tokens, and lower-case names that the C and
// POSIX headers define as macros: none of them can name a constant.
bool is_reserved(std::string_view name) {
    static const std::set<std::string_view> k_reserved = {
        "alignas",       "alignof",     "and",
        "and_eq",        "asm",         "auto",
        "bitand",        "bitor",       "bool",
        "break",         "case",        "catch",
        "char",          "char8_t",     "char16_t",
        "char32_t",      "class",       "compl",
        "concept",       "const",       "consteval",
        "constexpr",     "constinit",   "const_cast",
        "continue",      "co_await",    "co_return",
        "co_yield",      "decltype",    "default",
        "delete",        "do",          "double",
        "dynamic_cast",  "else",        "enum",
        "explicit",      "export",      "extern",
        "false",         "float",       "for",
        "friend",        "goto",        "if",
        "inline",        "int",         "long",
        "mutable",       "namespace",   "new",
        "noexcept",      "not",         "not_eq",
        "nullptr",       "operator",    "or",
        "or_eq",         "private",     "protected",
        "public",        "register",    "reinterpret_cast",
        "requires",      "return",      "short",
        "signed",        "sizeof",      "static",
        "static_assert", "static_cast", "struct",
        "switch",        "template",    "this",
        "thread_local",  "throw",       "true",
        "try",           "typedef",     "typeid",
        "typename",      "union",       "unsigned",
        "using",         "virtual",     "void",
        "volatile",      "wchar_t",     "while",
        "xor",           "xor_eq",      "assert",
        "errno",         "stdin",       "stdout",
        "stderr",        "major",       "minor",
        "makedev",       "linux",       "unix"};
    return k_reserved.contains(name);
}

// A lower-case snake_case word that is a valid C++ name.
bool is_good_name(std::string_view name) {
    return !name.empty() && name.front() >= 'a' && name.front() <= 'z' && name.back() != '_' &&
           name.find("__") == std::string_view::npos &&
           name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_") ==
               std::string_view::npos &&
           !is_reserved(name);
}

// Reads "ID<TAB>name" lines (blank lines and '#' comments skipped); reports
// every fault it finds with its line and gives no value if there was one.
std::optional<std::vector<Name>> read_names(const char* path) {
    const auto content = read_file(path);
    if (!content) {
        return std::nullopt;
    }
    std::vector<Name> names;
    std::map<std::string, std::size_t> line_of_name;
    std::map<int, std::size_t> line_of_id;
    bool good = true;
    const auto fault = [&](std::size_t line, const std::string& what) {
        std::cerr << path << ':' << line << ": " << what << '\n';
        good = false;
    };
    std::istringstream lines(*content);
    std::string line;
    for (std::size_t number = 1; std::getline(lines, line); ++number) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const std::size_t tab = line.find('\t');
        const std::string id_text = line.substr(0, tab);
        const std::string name = tab == std::string::npos ? std::string{} : line.substr(tab + 1);
        if (id_text.empty() || id_text.size() > 9 ||
            id_text.find_first_not_of("0123456789") != std::string::npos ||
            tab == std::string::npos) {
            fault(number, "expected ID<TAB>name");
            continue;
        }
        if (!is_good_name(name)) {
            fault(number, "\"" + name +
                              "\" is no good name: use a snake_case word (a-z, 0-9, _) that is "
                              "no C++ keyword");
            continue;
        }
        const int id = std::stoi(id_text);
        if (const auto [it, fresh] = line_of_name.emplace(name, number); !fresh) {
            fault(number, "the name " + name + " is used twice (first on line " +
                              std::to_string(it->second) + ")");
            continue;
        }
        if (const auto [it, fresh] = line_of_id.emplace(id, number); !fresh) {
            fault(number, std::to_string(id) + " is named twice (first on line " +
                              std::to_string(it->second) + ")");
            continue;
        }
        names.push_back({id, name, number});
    }
    if (!good) {
        return std::nullopt;
    }
    return names;
}

// Each fault on a line of its own; true when there was none.
bool names_match_tables(const std::vector<Name>& names, const corvale::String_table& english,
                        const corvale::String_table& other, const Inputs& paths) {
    bool good = true;
    std::set<int> named;
    for (const Name& name : names) {
        named.insert(name.id);
        if (!english.contains(name.id)) {
            std::cerr << paths.names << ':' << name.line << ": " << name.name << " (" << name.id
                      << ") has no text in " << paths.english << '\n';
            good = false;
        }
    }
    for (const auto& [id, text] : english) {
        if (!named.contains(id)) {
            std::cerr << paths.english << ": text " << id << " has no name in " << paths.names
                      << '\n';
            good = false;
        }
    }
    for (const auto& [id, text] : other) {
        if (!english.contains(id)) {
            std::cerr << paths.other << ": text " << id << " is not in " << paths.english << '\n';
            good = false;
        }
    }
    return good;
}

std::string cpp_literal(const std::wstring& text) {
    std::string out = "L\"";
    for (wchar_t wc : text) {
        const auto c = static_cast<unsigned long>(wc);
        char buffer[24];
        if (c == '\\' || c == '"') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else if (c < 0xA0) {
            std::snprintf(buffer, sizeof buffer, "\\%03lo", c);
            out += buffer;
        } else {
            std::snprintf(buffer, sizeof buffer, "\\U%08lX", c);
            out += buffer;
        }
    }
    return out + '"';
}

std::string table_source(const corvale::String_table& table, const char* english_path) {
    std::ostringstream out;
    out << "// Generated from " << english_path << " at build time; edit that file instead.\n"
        << "#include \"platform/string_table.h\"\n\nnamespace corvale {\n\n"
        << "const Builtin_string k_builtin_strings[] = {\n";
    for (const auto& [id, text] : table) {
        out << "    {" << id << ", " << cpp_literal(text) << "},\n";
    }
    out << "};\nconst std::size_t k_builtin_string_count = " << table.size() << ";\n\n"
        << "}  // namespace corvale\n";
    return out.str();
}

// In the order of the ids, so that the ranges the code counts on (column
// titles, tips) read as ranges.
std::string ids_header(std::vector<Name> names, const char* names_path) {
    std::sort(names.begin(), names.end(), [](const Name& a, const Name& b) { return a.id < b.id; });
    std::ostringstream out;
    out << "// Generated at build time from res/"
        << std::filesystem::path(names_path).filename().string() << "; edit that file instead.\n"
        << "// The ids of the string table's texts, by name: load_string(texts::invalid_url).\n"
        << "#pragma once\n\nnamespace corvale::texts {\n\n";
    for (const Name& name : names) {
        out << "inline constexpr int " << name.name << " = " << name.id << ";\n";
    }
    out << "\n}  // namespace corvale::texts\n";
    return out.str();
}

// Leaves an unchanged file alone, so that editing a text does not rebuild
// every file that includes the ids.
bool write_if_changed(const char* path, const std::string& content) {
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream old;
        old << in.rdbuf();
        if (in && old.str() == content) {
            return true;
        }
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    if (!out) {
        std::cerr << path << ": cannot be written\n";
    }
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::cerr << "usage: string_table_gen ENGLISH NAMES OTHER_LANGUAGE TABLE_OUT IDS_OUT\n";
        return 2;
    }
    const Inputs paths{argv[1], argv[2], argv[3]};
    const auto english = read_table(paths.english);
    const auto names = read_names(paths.names);
    const auto other = read_table(paths.other);
    if (!english || !names || !other || !names_match_tables(*names, *english, *other, paths)) {
        std::cerr << "string_table_gen: nothing was generated (see above)\n";
        return 1;
    }
    return write_if_changed(argv[4], table_source(*english, argv[1])) &&
                   write_if_changed(argv[5], ids_header(*names, argv[2]))
               ? 0
               : 1;
}
