// The string-table format (the Arabic bundle is read from a file beside the
// program): any bytes parse or are refused with a reason, and every text of a
// table that parsed can be formatted.

#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "platform/string_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string error;
    const auto table = corvale::parse_string_table(
        std::string_view(reinterpret_cast<const char*>(data), size), error);
    if (!table) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    for (const auto& [id, text] : *table) {
        (void)id;
        (void)corvale::format_string(text, {L"a", L"b"});
        (void)corvale::format_printf(text, {L"1", L"x"});
    }
    return 0;
}
