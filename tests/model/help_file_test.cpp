#include "model/help_file.h"

#include <gtest/gtest.h>

namespace corvale {
namespace {

TEST(Help_file, LanguageNamesTheFile) {
    struct Case {
        bool set;
        int language;
        const char* file;
    };
    const Case cases[] = {
        {false, 0, "help_arabic.pdf"},
        {true, k_language_arabic, "help_arabic.pdf"},
        {true, k_language_english, "help_english.pdf"},
        {true, 0, "help_english.pdf"},
        {true, 7, "help_english.pdf"},
    };
    for (const Case& c : cases) {
        Memory_profile profile;
        if (c.set) {
            profile.write_int(k_settings_section, L"language", c.language);
        }
        EXPECT_EQ(help_file(profile, "data"), std::filesystem::path("data") / c.file)
            << "set " << c.set << " language " << c.language;
    }
}

}  // namespace
}  // namespace corvale
