#include "platform/string_table.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

namespace corvale {
namespace {

String_table table_of(const std::string& name) {
    std::ifstream in(std::string(CORVALE_RES_DIR) + "/" + name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::string error;
    auto table = parse_string_table(bytes.str(), error);
    EXPECT_TRUE(table.has_value()) << name << ": " << error;
    return table.value_or(String_table{});
}

// What a text takes as arguments: its %1..%9 in any order (a language may
// put them where its grammar wants), its %i, %d and %s in order.
std::pair<std::multiset<wchar_t>, std::wstring> arguments_of(const std::wstring& text) {
    std::pair<std::multiset<wchar_t>, std::wstring> arguments;
    for (std::size_t at = text.find(L'%'); at != std::wstring::npos && at + 1 < text.size();
         at = text.find(L'%', at + 2)) {
        const wchar_t next = text[at + 1];
        if (next >= L'1' && next <= L'9') {
            arguments.first.insert(next);
        } else if (next == L'i' || next == L'd' || next == L's') {
            arguments.second.push_back(next);
        }
    }
    return arguments;
}

TEST(StringTable, TheCompiledInTableIsTheEnglishFile) {
    const String_table english = table_of("strings_en.txt");
    ASSERT_EQ(k_builtin_string_count, english.size());
    for (std::size_t i = 0; i < k_builtin_string_count; ++i) {
        const Builtin_string& entry = k_builtin_strings[i];
        EXPECT_EQ(english.at(entry.id), entry.text) << "escapes and letters survive, " << entry.id;
        EXPECT_EQ(load_string(entry.id), entry.text) << entry.id;
    }
    EXPECT_EQ(load_string(9999), L"") << "an unknown id";
}

// A text of the bundle without its English text's arguments would lose a
// number or a path, or show one in the place of another; a mnemonic "&" in
// front of an Arabic letter cuts it off from the rest of the word when it is
// underlined: Arabic labels carry none.
TEST(StringTable, TheArabicBundleMatchesTheEnglishTexts) {
    const String_table english = table_of("strings_en.txt");
    const String_table arabic = table_of("strings_ar.txt");
    for (const auto& [id, text] : english) {
        const auto found = arabic.find(id);
        ASSERT_NE(found, arabic.end()) << "string " << id << " is missing in Arabic";
        EXPECT_EQ(arguments_of(found->second), arguments_of(text)) << "string " << id;
        for (std::size_t at = found->second.find(L'&'); at != std::wstring::npos;
             at = found->second.find(L'&', at + 2)) {
            EXPECT_EQ(found->second.substr(at, 2), L"&&") << "string " << id << " has a mnemonic";
        }
    }
    EXPECT_EQ(arabic.size(), english.size()) << "no id of its own";
}

TEST(StringTable, FormatsLikeTheMessageFormatter) {
    struct Row {
        std::wstring format;
        std::vector<std::wstring_view> args;
        std::wstring out;
        const char* why;
    } rows[] = {
        {L"Error:%1", {L"12029"}, L"Error:12029", "one argument"},
        {L"%1% of %2", {L"5 MB", L"10 MB"}, L"5 MB% of 10 MB", "a lone % is kept"},
        {L"%1 and %1", {L"x"}, L"x and x", "repeated placeholder"},
        {L"%2", {L"x"}, L"?", "missing argument gives ?"},
        {L"%0 %A", {L"x"}, L"? ?", "%0 and %A have no argument"},
        {L"100%", {}, L"100%", "trailing %"},
        {L". Failed", {L"404"}, L". Failed", "text without placeholder shows no number"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(format_string(row.format, row.args), row.out) << row.why;
    }
    EXPECT_EQ(format_message(111, {L"7"}), L"An error occurred connecting to the server, Error:7");
    EXPECT_EQ(format_printf(L"%i files, %d%% of %s", {L"3", L"50", L"x"}), L"3 files, 50% of x");
    EXPECT_EQ(format_printf(L"%s and %s", {L"a"}), L"a and ") << "a missing argument is empty";
}

TEST(StringTable, ParsesTheBundleFormatAndReportsBadLines) {
    std::string error;
    const auto table = parse_string_table(
        "\xEF\xBB\xBF# comment\r\n\n101\tA\\tB\\n\\\\\\\"\r\n102\t\xD9\x85\n", error);
    ASSERT_TRUE(table.has_value()) << error;
    EXPECT_EQ(table->at(101), L"A\tB\n\\\"");
    EXPECT_EQ(table->at(102), L"م");

    struct Row {
        std::string in;
        std::string error;
    } bad[] = {
        {"101 text\n", "line 1: expected ID<TAB>text with valid escapes"},
        {"x\ttext\n", "line 1: expected ID<TAB>text with valid escapes"},
        {"101\tbad \\q escape\n", "line 1: expected ID<TAB>text with valid escapes"},
        {"101\tends in \\\n", "line 1: expected ID<TAB>text with valid escapes"},
        {"101\ta\n\n101\tb\n", "line 3: the id is given twice"},
    };
    for (const Row& row : bad) {
        error.clear();
        EXPECT_FALSE(parse_string_table(row.in, error).has_value()) << row.in;
        EXPECT_EQ(error, row.error) << row.in;
    }
}

TEST(StringTable, InstalledTableReplacesAndRestores) {
    auto arabic = std::make_shared<String_table>(String_table{{124, L"تم إلغاء التحميل"}});
    install_string_table(arabic);
    EXPECT_EQ(load_string(124), L"تم إلغاء التحميل");
    EXPECT_EQ(load_string(122), L"");
    install_string_table(nullptr);
    EXPECT_EQ(load_string(124), L"Download canceled");
}

TEST(StringTable, DataInARightToLeftTextReadsInItsOwnDirection) {
    auto arabic = std::make_shared<String_table>(
        String_table{{130, L"الملف '%1' موجود"}, {131, L"خطأ: \n %s \n"}});
    install_string_table(arabic, true);
    EXPECT_EQ(format_message(130, {L"/tmp/a.zip"}), L"الملف '\u2068/tmp/a.zip\u2069' موجود");
    EXPECT_EQ(format_printf(load_string(131), {L"/tmp"}), L"خطأ: \n \u2068/tmp\u2069 \n");
    EXPECT_EQ(embed_data(L""), L"") << "nothing to isolate";
    install_string_table(nullptr);
    EXPECT_FALSE(texts_right_to_left()) << "English again";
    EXPECT_EQ(format_message(130, {L"/tmp/a.zip"}),
              L"The file '/tmp/a.zip' already exists.\nDo you want to replace it?");
}

}  // namespace
}  // namespace corvale
