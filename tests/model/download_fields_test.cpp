#include "model/download_fields.h"
#include "corvale/text_ids.h"

#include <gtest/gtest.h>

#include "platform/wide_text.h"
#include "support/temporary_folder.h"

namespace corvale {
namespace {

class DownloadFieldsTest : public ::testing::Test {
  protected:
    testing::Temporary_folder dir{"corvale-fields"};
    std::wstring folder = decode_native(dir.path().string());
};

TEST(DownloadFields, OneFileNameRule) {
    const std::wstring e_acute(1, L'\u00E9');                      // 2 bytes in UTF-8
    const std::wstring euro(1, L'\u20AC');                         // 3 bytes
    const std::wstring smile(1, static_cast<wchar_t>(0x1F600));    // 4 bytes
    const std::wstring raw_byte(1, static_cast<wchar_t>(0xDCE9));  // the byte E9 of a native name
    const auto repeat = [](const std::wstring& part, std::size_t times) {
        std::wstring text;
        for (std::size_t i = 0; i < times; ++i) {
            text += part;
        }
        return text;
    };
    struct Row {
        std::wstring name;
        bool valid;
        const char* why;
    } rows[] = {
        {L"", false, "empty"},
        {L".", false, "the folder itself"},
        {L"..", false, "the folder above"},
        {L"../escape.bin", false, "a way out of the folder"},
        {L"a/b", false, "the separator"},
        {L"a\\b", false, "a backslash"},
        {L"a:b", false, "reserved: colon"},
        {L"a*b", false, "reserved: asterisk"},
        {L"a?b", false, "reserved: question mark"},
        {L"a\"b", false, "reserved: double quote"},
        {L"a<b", false, "reserved: less-than"},
        {L"a>b", false, "reserved: greater-than"},
        {L"a|b", false, "reserved: vertical bar"},
        {std::wstring(L"a\0b", 3), false, "NUL cuts the name short on disk"},
        {L"\x1B[2Jx.bin", false, "ESC: a terminal sequence"},
        {L"a\tb", false, "a C0 control"},
        {L"a\x7F", false, "DEL"},
        {L"a\x85", false, "C1: next line"},
        {L"a\x9F", false, "C1: the last one"},
        {std::wstring(L"a") + static_cast<wchar_t>(0xDCC2) + static_cast<wchar_t>(0xDC85), false,
         "two raw bytes that spell a C1 control on disk"},
        {std::wstring(300, L'a'), false, "300 characters"},
        {std::wstring(256, L'a'), false, "256 bytes"},
        {repeat(e_acute, 128), false, "128 two-byte letters: 256 bytes"},
        {repeat(raw_byte, 256), false, "256 raw bytes"},
        {std::wstring(255, L'a'), true, "255 bytes"},
        {repeat(euro, 85), true, "85 three-byte signs: 255 bytes"},
        {repeat(smile, 63) + L"abc", true, "63 four-byte signs and 3 letters: 255 bytes"},
        {repeat(raw_byte, 255), true, "255 raw bytes: 765 bytes of UTF-8, 255 on disk"},
        {L"caf" + raw_byte + L".txt", true, "a Latin-1 name read from disk"},
        {L"\x0645\x0644\x0641 1.zip", true, "Arabic and a space"},
        {L"...", true, "three dots are a name"},
        {L".hidden", true, "a leading dot"},
        {L"a\u00A0b", true, "no-break space: not a control"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(valid_file_name(row.name), row.valid) << row.why;
    }
}

TEST_F(DownloadFieldsTest, TheAddDialogChecksInOrder) {
    const std::wstring link = L"http://rapidshare.com/files/1/a.zip";
    struct Row {
        Download_fields typed;
        int message;
        std::wstring stored_url;
        const char* why;
    } rows[] = {
        {{link, folder, L"a.zip", L"d"}, 0, link, "all good"},
        {{L"rapidshare.com/files/1/a.zip", folder, L"a.zip", L""}, 0, link, "no scheme: http://"},
        {{L"HTTP://rapidshare.com/x", folder, L"a.zip", L""},
         0,
         L"HTTP://rapidshare.com/x",
         "a scheme in capitals is kept"},
        {{L"https://host/x", folder, L"a.zip", L""}, 0, L"https://host/x", "https is kept"},
        {{L"", folder, L"a.zip", L""}, texts::invalid_url, L"", "empty link"},
        {{L"ftp://host/x", folder, L"a.zip", L""},
         texts::invalid_url,
         L"",
         "http://ftp://host/x has no host"},
        {{L"http://", folder, L"a.zip", L""}, texts::invalid_url, L"", "no host"},
        {{L"", L"/no/such/folder", L"?", L""},
         texts::invalid_url,
         L"",
         "the link is checked first"},
        {{link, folder + L"/none", L"a.zip", L""}, texts::invalid_folder, L"", "no such folder"},
        {{link, L"", L"a.zip", L""}, texts::invalid_folder, L"", "no folder"},
        {{link, folder, L"", L""}, texts::invalid_file_name, L"", "no file name"},
        {{link, folder, L"a?.zip", L""}, texts::invalid_file_name, L"", "a reserved character"},
        {{link, folder, L"..", L""}, texts::invalid_file_name, L"", "a name that is a folder's"},
        {{link, folder, std::wstring(L"a\0b", 3), L""}, texts::invalid_file_name, L"", "a NUL"},
        {{link, folder, L"a\tb", L""}, texts::invalid_file_name, L"", "a control character"},
        {{link, folder, L"sub/a.zip", L""}, texts::invalid_file_name, L"", "the separator"},
    };
    for (const Row& row : rows) {
        const Checked_fields checked = check_new_download(row.typed);
        EXPECT_EQ(checked.message, row.message) << row.why;
        if (row.message == 0) {
            EXPECT_EQ(checked.fields.url, row.stored_url) << row.why;
        }
    }
}

TEST_F(DownloadFieldsTest, FolderAndDescriptionAreCutAndTrailingSlashesKept) {
    const Checked_fields with_slash =
        check_new_download({L"host/x", folder + L"/", L"x", std::wstring(300, L'd')});
    EXPECT_EQ(with_slash.message, 0);
    EXPECT_EQ(with_slash.fields.folder, folder + L"/") << "kept unchanged";
    EXPECT_EQ(with_slash.fields.description.size(), k_field_limit);
}

TEST_F(DownloadFieldsTest, TheEditDialogChecksWhatIsNotLocked) {
    struct Row {
        Download_fields typed;
        bool url_locked;
        bool name_locked;
        int message;
        const char* why;
    } rows[] = {
        {{L"anything at all", folder, L"a.zip", L""}, false, false, 0, "no URL test in Edit"},
        {{L"", folder, L"a.zip", L""}, false, false, texts::empty_url, "an empty link"},
        {{L"", folder, L"", L""}, true, true, 0, "several downloads: both locked"},
        {{L"", folder, L"a?.zip", L""}, true, true, 0, "a locked name is not checked"},
        {{L"x", folder, L"a?.zip", L""},
         false,
         false,
         texts::invalid_file_name,
         "an unlocked one is"},
        {{L"x", folder + L"/none", L"a", L""},
         false,
         false,
         texts::invalid_folder,
         "no such folder"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(check_edited_download(row.typed, row.url_locked, row.name_locked).message,
                  row.message)
            << row.why;
    }
}

TEST(DownloadFields, SameAsUrlTakesThePartAfterTheLastSlash) {
    struct Row {
        std::wstring link;
        std::optional<std::wstring> name;
        const char* why;
    } rows[] = {
        {L"http://rapidshare.com/files/1/a.zip", L"a.zip", "the last part"},
        {L"http://host/get?f=a.zip", L"get?f=a.zip", "a query comes along, checked at OK"},
        {L"http://host/dir/", L"", "a trailing slash: the name stays as it is"},
        {L"no slash at all", std::nullopt, "no_name_in_link"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(name_from_link(row.link), row.name) << row.why;
    }
}

}  // namespace
}  // namespace corvale
