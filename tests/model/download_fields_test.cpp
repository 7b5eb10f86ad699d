#include "model/download_fields.h"

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
        {{L"", folder, L"a.zip", L""}, 141, L"", "empty link"},
        {{L"ftp://host/x", folder, L"a.zip", L""}, 141, L"", "http://ftp://host/x has no host"},
        {{L"http://", folder, L"a.zip", L""}, 141, L"", "no host"},
        {{L"", L"/no/such/folder", L"?", L""}, 141, L"", "the link is checked first"},
        {{link, folder + L"/none", L"a.zip", L""}, 142, L"", "no such folder"},
        {{link, L"", L"a.zip", L""}, 142, L"", "no folder"},
        {{link, folder, L"", L""}, 143, L"", "no file name"},
        {{link, folder, L"a?.zip", L""}, 143, L"", "a reserved character"},
        {{link, folder, L"..", L""}, 143, L"", "a name that is a folder's"},
        {{link, folder, std::wstring(L"a\0b", 3), L""}, 143, L"", "a NUL"},
        {{link, folder, L"a\tb", L""}, 143, L"", "a control character"},
        {{link, folder, L"sub/a.zip", L""}, 143, L"", "the separator"},
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
        {{L"", folder, L"a.zip", L""}, false, false, 227, "an empty link"},
        {{L"", folder, L"", L""}, true, true, 0, "several downloads: both locked"},
        {{L"", folder, L"a?.zip", L""}, true, true, 0, "a locked name is not checked"},
        {{L"x", folder, L"a?.zip", L""}, false, false, 143, "an unlocked one is"},
        {{L"x", folder + L"/none", L"a", L""}, false, false, 142, "no such folder"},
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
        {L"no slash at all", std::nullopt, "message 190"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(name_from_link(row.link), row.name) << row.why;
    }
}

}  // namespace
}  // namespace corvale
