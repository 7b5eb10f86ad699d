#pragma once

// Which help file the Help command opens: the profile's language names it,
// Arabic when the language is unset.

#include <filesystem>

#include "platform/profile.h"

namespace corvale {

std::filesystem::path help_file(const Profile& profile,
                                const std::filesystem::path& data_directory);

}  // namespace corvale
