// Build-time generator: turns a string-table file into the compiled-in table.
// Usage: string_table_gen INPUT OUTPUT

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "platform/string_table.h"

namespace {

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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: string_table_gen INPUT OUTPUT\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    if (!in) {
        std::cerr << argv[1] << ": cannot be read\n";
        return 1;
    }
    std::string error;
    const auto table = corvale::parse_string_table(content.str(), error);
    if (!table) {
        std::cerr << argv[1] << ": " << error << '\n';
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << "// Generated from " << argv[1] << " at build time; edit that file instead.\n"
        << "#include \"platform/string_table.h\"\n\nnamespace corvale {\n\n"
        << "const Builtin_string k_builtin_strings[] = {\n";
    for (const auto& [id, text] : *table) {
        out << "    {" << id << ", " << cpp_literal(text) << "},\n";
    }
    out << "};\nconst std::size_t k_builtin_string_count = " << table->size() << ";\n\n"
        << "}  // namespace corvale\n";
    return out ? 0 : 1;
}
