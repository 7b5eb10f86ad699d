#pragma once

// The user-interface language: the profile's "language" (default 1 =
// Arabic, any other value English). Arabic texts come from the bundle
// "resource_ara.strings" beside the program.

#include <filesystem>

#include "platform/profile.h"
#include "platform/prompter.h"

namespace corvale {

inline constexpr const char* k_arabic_bundle = "resource_ara.strings";

enum class Language { english, arabic };

// Installs the string table of the chosen language. A missing or unreadable
// bundle says "Error loading Arabic language" and leaves English, without
// changing the stored value.
Language choose_language(Profile& profile, Prompter& prompter,
                         const std::filesystem::path& program_directory);

}  // namespace corvale
