#pragma once

// The user-interface language: the profile's "language" (default 1 =
// Arabic, any other value English). Arabic texts come from the bundle
// "resource_ara.strings" in the data folder.

#include <filesystem>

#include "platform/profile.h"
#include "platform/prompter.h"

namespace corvale {

inline constexpr const char* k_arabic_bundle = "resource_ara.strings";

enum class Language { english, arabic };

// Where the Arabic bundle and the help files are: beside the program in the
// build tree, else in share/corvale beside the program's bin folder, as an
// installation puts them.
std::filesystem::path find_data_directory(const std::filesystem::path& data_directory);

// Installs the string table of the chosen language. A missing or unreadable
// bundle says "Error loading Arabic language" and leaves English, without
// changing the stored value.
Language choose_language(Profile& profile, Prompter& prompter,
                         const std::filesystem::path& data_directory);

}  // namespace corvale
