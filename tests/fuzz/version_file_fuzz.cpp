// The update check's version file: any reply reads to lines without
// carriage returns, and any version text gives a number.

#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "platform/wide_text.h"
#include "tools/update_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring reply =
        corvale::from_utf16le(std::string_view(reinterpret_cast<const char*>(data), size));
    const corvale::Version_file file = corvale::parse_version_file(reply);
    FUZZ_CHECK(file.latest.find(L'\r') == std::wstring::npos);
    FUZZ_CHECK(!file.date || (!file.date->empty() && file.date->find(L'\r') == std::wstring::npos));
    FUZZ_CHECK(!file.information || !file.information->empty());
    FUZZ_CHECK(file.latest.size() <= reply.size());
    (void)corvale::update_available(L"1.2.0.2", file.latest);
    (void)corvale::version_number(reply);
    return 0;
}
