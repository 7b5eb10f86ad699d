// Paste splitting: the text comes back lowercased with carriage returns put
// in front of "http:", and nothing else changed; bytes and text agree.

#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "host/link_extraction.h"
#include "platform/wide_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::wstring text = corvale::decode_ansi(bytes);
    const std::wstring split = corvale::split_pasted_links(text);
    FUZZ_CHECK(split.size() >= text.size());
    // Only carriage returns are added: without them both read the same.
    const auto without_returns = [](std::wstring value) {
        std::erase(value, L'\r');
        return value;
    };
    FUZZ_CHECK(without_returns(split) == without_returns(corvale::lower_az(text)));
    FUZZ_CHECK(corvale::decode_ansi(corvale::split_pasted_links(bytes)) ==
               corvale::split_pasted_links(corvale::decode_ansi(bytes)));
    return 0;
}
