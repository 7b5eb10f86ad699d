#include "app/language.h"

#include "platform/file_io.h"
#include "platform/string_table.h"

namespace corvale {

namespace {

constexpr std::uint64_t k_bundle_limit = 4u << 20;

}  // namespace

std::filesystem::path find_data_directory(const std::filesystem::path& program_directory) {
    std::error_code error;
    if (std::filesystem::exists(program_directory / k_arabic_bundle, error)) {
        return program_directory;
    }
    const std::filesystem::path installed = program_directory.parent_path() / "share" / "corvale";
    return std::filesystem::is_directory(installed, error) ? installed : program_directory;
}

Language choose_language(Profile& profile, Prompter& prompter,
                         const std::filesystem::path& data_directory) {
    install_string_table(nullptr);
    if (profile.read_int(k_settings_section, L"language", k_language_arabic) != k_language_arabic) {
        return Language::english;
    }
    const Read_result bundle = read_whole_file(data_directory / k_arabic_bundle, k_bundle_limit);
    std::string error;
    const auto table =
        bundle.status == Read_status::ok ? parse_string_table(bundle.bytes, error) : std::nullopt;
    if (!table) {
        prompter.show_message(L"Error loading Arabic language");
        return Language::english;
    }
    install_string_table(std::make_shared<const String_table>(*table), true);
    return Language::arabic;
}

}  // namespace corvale
