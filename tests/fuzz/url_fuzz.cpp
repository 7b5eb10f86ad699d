// The URL parser and link making: a parsed URL has its parts inside the
// text, and making a link usable twice changes nothing more.

#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "platform/url.h"
#include "platform/wide_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text =
        corvale::decode_ansi(std::string_view(reinterpret_cast<const char*>(data), size));
    if (const auto parsed = corvale::parse_url(text)) {
        FUZZ_CHECK(parsed->server.size() <= text.size());
        FUZZ_CHECK(!parsed->object.empty());
    }
    const std::wstring usable = corvale::usable_link(text);
    FUZZ_CHECK(corvale::usable_link(usable) == usable);
    return 0;
}
