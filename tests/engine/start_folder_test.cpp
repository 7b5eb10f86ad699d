#include "engine/start_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/preferences.h"
#include "model/list_file.h"
#include "platform/file_io.h"
#include "support/temporary_folder.h"

namespace corvale {
namespace {

class StartFolderTest : public ::testing::Test {
  protected:
    // The folder of `name` under the test's folder; "" stays empty.
    std::wstring at(const std::wstring& name) const {
        return name.empty() ? L"" : from_path(dir.path() / to_path(name));
    }
    void make(const std::wstring& name) const {
        std::filesystem::create_directories(to_path(at(name)));
    }

    testing::Temporary_folder dir{"corvale-start"};
};

TEST_F(StartFolderTest, TheFirstExistingFolderOfItsKindElseHome) {
    // Existing in every row: home, last (a folder), chosen, lists, default,
    // and the file "plain". Downloads and Documents only where the row says.
    for (const wchar_t* name : {L"home", L"last", L"chosen", L"lists", L"default"}) {
        make(name);
    }
    std::ofstream(to_path(at(L"plain"))) << "x";
    struct Row {
        Start_for what;
        std::wstring field, last_folder;
        std::wstring last_list;  // as the profile holds it
        bool downloads, documents;
        std::wstring expected;
        const char* why;
        std::wstring default_folder = L"";  // the preferences' default download folder
    } rows[] = {
        {Start_for::downloads, L"", L"last", L"", true, true, L"last", "the last download folder"},
        {Start_for::downloads, L"chosen", L"last", L"", true, true, L"chosen",
         "Browse opens in the folder of its field"},
        {Start_for::downloads, L"gone", L"last", L"", true, true, L"last",
         "a field naming no folder: the last download folder"},
        {Start_for::downloads, L"", L"gone", L"", true, true, L"home/Downloads",
         "the last download folder was removed"},
        {Start_for::downloads, L"", L"plain", L"", true, true, L"home/Downloads",
         "a file is no folder"},
        {Start_for::downloads, L"", L"", at(L"lists/a.zrv"), false, true, L"home",
         "no Downloads: home; the last list is not for downloads"},
        {Start_for::lists, L"", L"", at(L"lists/a.zrv"), true, true, L"lists",
         "the folder of the last list, whether the file is still there or not"},
        {Start_for::lists, L"", L"last", at(L"gone/a.zrv"), true, true, L"home/Documents",
         "the last list's folder was removed; the last download folder is not for lists"},
        {Start_for::lists, L"", L"", L"a.zrv", true, false, L"home",
         "a last list without a folder, and no Documents"},
        {Start_for::downloads, L"", L"last", L"", true, true, L"default",
         "the default download folder comes before the last one", L"default"},
        {Start_for::downloads, L"chosen", L"last", L"", true, true, L"chosen",
         "the field comes before the default download folder", L"default"},
        {Start_for::downloads, L"", L"last", L"", true, true, L"last",
         "the default download folder was removed: the last one", L"gone"},
        {Start_for::downloads, L"", L"", L"", true, true, L"home/Downloads",
         "a file as the default download folder is no folder", L"plain"},
        {Start_for::lists, L"", L"", at(L"lists/a.zrv"), true, true, L"lists",
         "the default download folder is not for lists", L"default"},
    };
    for (const Row& row : rows) {
        std::filesystem::remove_all(to_path(at(L"home/Downloads")));
        std::filesystem::remove_all(to_path(at(L"home/Documents")));
        if (row.downloads) {
            make(L"home/Downloads");
        }
        if (row.documents) {
            make(L"home/Documents");
        }
        Memory_profile profile;
        profile.write_string(k_settings_section, k_last_folder_key, at(row.last_folder));
        profile.write_string(k_settings_section, k_last_list_key, row.last_list);
        Preferences preferences;
        preferences.default_folder = at(row.default_folder);
        write_preferences(profile, preferences);
        const Standard_folders standard{at(L"home/Downloads"), at(L"home/Documents"), at(L"home")};
        EXPECT_EQ(start_folder(row.what, profile, standard, at(row.field)), at(row.expected))
            << row.why;
    }
}

// A folder whose name is not UTF-8 is remembered and offered byte for byte.
TEST_F(StartFolderTest, FolderNamesThatAreNotUtf8SurviveTheProfile) {
    const std::filesystem::path latin1 = dir.path() / std::string("caf\xE9");
    std::filesystem::create_directories(latin1);
    Memory_profile profile;
    remember_download_folder(profile, from_path(latin1));
    const std::wstring start = start_folder(Start_for::downloads, profile, {L"", L"", L"/"});
    EXPECT_EQ(to_path(start), latin1);
}

TEST_F(StartFolderTest, ARelativeFolderIsRememberedAsAnAbsoluteOne) {
    Memory_profile profile;
    remember_download_folder(profile, L".");
    const std::wstring stored = profile.read_string(k_settings_section, k_last_folder_key, L"");
    EXPECT_TRUE(to_path(stored).is_absolute());
    EXPECT_TRUE(std::filesystem::equivalent(to_path(stored), std::filesystem::current_path()));
    remember_download_folder(profile, L"");
    EXPECT_EQ(profile.read_string(k_settings_section, k_last_folder_key, L""), stored)
        << "nothing to remember";
}

}  // namespace
}  // namespace corvale
