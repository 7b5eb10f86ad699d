#include "model/help_file.h"

namespace corvale {

std::filesystem::path help_file(const Profile& profile,
                                const std::filesystem::path& data_directory) {
    const int language = profile.read_int(k_settings_section, L"language", k_language_arabic);
    return data_directory /
           (language == k_language_arabic ? "help_arabic.pdf" : "help_english.pdf");
}

}  // namespace corvale
