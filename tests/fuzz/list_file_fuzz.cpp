// The list file reader: any bytes load or fail cleanly, and a list that
// loaded is written and read again to the same records.

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz_support.h"
#include "model/list_file.h"
#include "platform/profile.h"
#include "support/scripted_prompter.h"

namespace {

std::filesystem::path work_file(const char* name) {
    static const std::filesystem::path folder = [] {
        std::filesystem::path made =
            std::filesystem::temp_directory_path() / ("corvale-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(made);
        return made;
    }();
    return folder / name;
}

std::vector<std::array<std::wstring, corvale::k_record_lines>> lines_of(
    const corvale::Download_list& list) {
    std::vector<std::array<std::wstring, corvale::k_record_lines>> all;
    int position = 0;
    for (const corvale::Download_record& record : list.records()) {
        all.push_back(corvale::record_lines(record, ++position));
    }
    return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path input = work_file("input.zrv");
    const std::filesystem::path again = work_file("again.zrv");
    {
        std::ofstream out(input, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    corvale::testing::Scripted_prompter prompter;  // loading asks nothing
    corvale::Memory_profile profile;
    corvale::Download_list first(prompter, profile);
    try {
        corvale::load_list(first, input.wstring(), false);
    } catch (const corvale::Settings_file_error&) {
        return 0;  // refused cleanly
    }
    FUZZ_CHECK(corvale::save_list(first, again.wstring()));
    corvale::Download_list second(prompter, profile);
    try {
        // Only read back: `first` holds the file it saved.
        corvale::load_list(second, again.wstring(), false, corvale::List_access::read_only);
    } catch (const corvale::Settings_file_error&) {
        FUZZ_CHECK(!"a list the program wrote could not be read back");
    }
    FUZZ_CHECK(lines_of(first) == lines_of(second));
    return 0;
}
