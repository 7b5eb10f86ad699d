// Page classification: any page gives a verdict; a name and a size come only
// with the download fields, and hold no field separator.

#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "host/page_classification.h"
#include "platform/wide_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring page =
        corvale::decode_page_text(std::string_view(reinterpret_cast<const char*>(data), size));
    const bool has_fields = page.find(L"#!download") != std::wstring::npos;
    const corvale::Page_classification verdict = corvale::classify_page(page);
    const int message = corvale::verdict_message(verdict.verdict);
    FUZZ_CHECK(message == 223 || message == 224 || message == 226);
    if (!has_fields) {
        FUZZ_CHECK(verdict.file_name.empty() && verdict.size.empty());
    }
    FUZZ_CHECK(verdict.file_name.find(L'|') == std::wstring::npos);
    FUZZ_CHECK(verdict.size.find(L'|') == std::wstring::npos);
    return 0;
}
