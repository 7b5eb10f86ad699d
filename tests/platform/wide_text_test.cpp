#include "platform/wide_text.h"

#include <gtest/gtest.h>

#include <climits>

namespace corvale {
namespace {

TEST(WideText, FoldsOnlyAsciiLetters) {
    struct Row {
        std::wstring in, out;
        const char* why;
    } rows[] = {
        {L"HTTP://RapidShare.COM", L"http://rapidshare.com", "plain ASCII"},
        {L"ÄÖÜ É", L"ÄÖÜ É", "the default locale folds nothing beyond A-Z"},
        {L"ИМЯ", L"ИМЯ", "Cyrillic stays"},
        {L"@[`{", L"@[`{", "neighbours of A-Z and a-z are not letters"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(lower_az(row.in), row.out) << row.why;
    }
    EXPECT_TRUE(equals_ignoring_case_az(L"C:\\Files\\A.ZIP", L"c:\\files\\a.zip"));
    EXPECT_FALSE(equals_ignoring_case_az(L"É", L"é"));
    EXPECT_FALSE(equals_ignoring_case_az(L"ab", L"abc"));
}

TEST(WideText, ParseIntLikeWtoi) {
    struct Row {
        std::wstring in;
        int out;
        const char* why;
    } rows[] = {
        {L"42", 42, "digits"},
        {L"  \t-17xyz", -17, "blanks, sign, stops at the first other character"},
        {L"+8", 8, "plus sign"},
        {L"abc", 0, "no digits"},
        {L"", 0, "empty"},
        {L"- 5", 0, "no blank between sign and digits"},
        {L"99999999999", INT_MAX, "overflow saturates"},
        {L"-99999999999", INT_MIN, "negative overflow saturates"},
        {L"2147483647", INT_MAX, "largest"},
        {L"-2147483648", INT_MIN, "smallest"},
        {L"007", 7, "leading zeros"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(parse_int(row.in), row.out) << row.why;
        EXPECT_EQ(parse_int(encode_utf8(row.in)), row.out) << row.why << " (bytes)";
    }
}

TEST(WideText, ParseInt64ForByteCounts) {
    struct Row {
        std::string in;
        std::int64_t out;
    } rows[] = {
        {"5368709120", 5368709120},  // 5 GiB
        {"-9223372036854775808", INT64_MIN}, {"9223372036854775807", INT64_MAX},
        {"9223372036854775808", INT64_MAX},  {"-99999999999999999999", INT64_MIN},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(parse_int64(row.in), row.out) << row.in;
    }
}

TEST(WideText, ParseUint64LikeWcstoul) {
    struct Row {
        std::wstring in;
        int base;
        std::uint64_t out;
        std::size_t consumed;
        const char* why;
    } rows[] = {
        {L"123abc", 10, 123, 3, "stops at a non-digit"},
        {L"  4294967296", 10, 4294967296u, 12, "past 32 bits"},
        {L"18446744073709551615", 10, UINT64_MAX, 20, "largest value"},
        {L"18446744073709551616", 10, UINT64_MAX, 20, "overflow gives the largest value"},
        {L"-1", 10, UINT64_MAX, 2, "a minus negates modulo 2^64"},
        {L"ff", 16, 255, 2, "hexadecimal digits"},
        {L"x", 10, 0, 0, "no number reads nothing"},
    };
    for (const Row& row : rows) {
        std::size_t consumed = 99;
        EXPECT_EQ(parse_uint64(row.in, row.base, &consumed), row.out) << row.why;
        EXPECT_EQ(consumed, row.consumed) << row.why;
    }
}

TEST(WideText, ParseDoubleLikeWtof) {
    struct Row {
        std::wstring in;
        double out;
        const char* why;
    } rows[] = {
        {L"1.5", 1.5, "decimal point whatever the locale"},
        {L"  -2.25e2kb", -225.0, "blanks, sign, exponent, trailing text"},
        {L".5", 0.5, "no integer part"},
        {L"1e", 1.0, "an exponent without digits is not read"},
        {L"abc", 0.0, "no number"},
        {L"+-1", 0.0, "two signs"},
    };
    for (const Row& row : rows) {
        EXPECT_DOUBLE_EQ(parse_double(row.in), row.out) << row.why;
    }
}

TEST(WideText, DecodesAnsiAsUtf8WithLatin1Fallback) {
    struct Row {
        std::string in;
        std::wstring out;
        const char* why;
    } rows[] = {
        {"plain", L"plain", "ASCII"},
        {"\xD9\x85\xD9\x84\xD9\x81", L"ملف", "valid UTF-8 Arabic"},
        {"caf\xE9", L"café", "a lone Latin-1 byte"},
        {"\xC3", L"\u00C3", "a sequence cut at the end"},
        {"\xC0\xAF", L"\u00C0\u00AF", "an overlong form is not UTF-8"},
        {"\xED\xA0\x80", L"\u00ED\u00A0\u0080", "an encoded surrogate is not UTF-8"},
        {"\xF0\x9F\x98\x80", L"\U0001F600", "four-byte sequence"},
        {std::string("a\0b", 3), std::wstring(L"a\0b", 3), "NUL bytes are kept"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(decode_ansi(row.in), row.out) << row.why;
    }
}

TEST(WideText, Utf16LeRoundTripsWithSurrogatePairs) {
    const std::wstring text = L"Aé\u0645\U0001F600z";
    const std::string bytes = to_utf16le(text);
    EXPECT_EQ(bytes, std::string("A\0\xE9\0\x45\x06\x3D\xD8\x00\xDEz\0", 12));
    EXPECT_EQ(from_utf16le(bytes), text);
    EXPECT_EQ(decode_ansi(encode_utf8(text)), text);
}

TEST(WideText, Utf16LeKeepsLoneSurrogatesAndIgnoresAnOddByte) {
    const std::string lone_high(
        "\x3D\xD8"
        "A\0",
        4);
    EXPECT_EQ(from_utf16le(lone_high), std::wstring(L"\xD83D"
                                                    L"A"));
    EXPECT_EQ(to_utf16le(from_utf16le(lone_high)), lone_high);
    EXPECT_EQ(from_utf16le(std::string("A\0B", 3)), L"A");
    EXPECT_EQ(encode_utf8(std::wstring(1, static_cast<wchar_t>(0xDC00))), "\xEF\xBF\xBD");
}

TEST(WideText, NativeNamesRoundTripByteForByte) {
    struct Row {
        std::string bytes;
        std::wstring text;
        const char* why;
    } rows[] = {
        {"list.zrv", L"list.zrv", "ASCII"},
        {"\xD9\x85\xD9\x84\xD9\x81.zrv", L"ملف.zrv", "valid UTF-8 stays readable"},
        {"old\xE9.lst", L"old\xDCE9.lst", "a Latin-1 byte is escaped, not read as é"},
        {"\xC3", L"\xDCC3", "a sequence cut at the end"},
        {"\xED\xB2\x80", L"\xDCED\xDCB2\xDC80", "an encoded surrogate is three escaped bytes"},
        {"\xFF\xFE", L"\xDCFF\xDCFE", "bytes that never start UTF-8"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(decode_native(row.bytes), row.text) << row.why;
        EXPECT_EQ(encode_utf8(decode_native(row.bytes)), row.bytes) << row.why;
    }
    // Only the escaped range turns back into bytes; other lone surrogates
    // cannot be written as UTF-8.
    EXPECT_EQ(encode_utf8(std::wstring(1, static_cast<wchar_t>(0xDC7F))), "\xEF\xBF\xBD");
}

TEST(PageText, DecodesUtf8OrElseLatin1) {
    EXPECT_EQ(decode_page_text("caf\xc3\xa9"), L"caf\u00e9");
    EXPECT_EQ(decode_page_text("caf\xe9 \xc3\xa9"), L"caf\u00e9 \u00c3\u00a9")
        << "one invalid byte: the whole page is Latin-1";
    EXPECT_EQ(decode_page_text("\xed\xa0\x80"), L"\u00ed\u00a0\u0080")
        << "a surrogate is not UTF-8";
    EXPECT_EQ(decode_page_text(""), L"");
}

}  // namespace
}  // namespace corvale
