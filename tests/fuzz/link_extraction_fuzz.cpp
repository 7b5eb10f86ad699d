// Link extraction over a page: every link is a scheme, the file host's link
// marker and the rest of a token; the byte scan and the text scan agree.

#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "host/link_extraction.h"
#include "platform/wide_text.h"

namespace {

constexpr std::wstring_view k_marker = L"rapidshare.com/files/";

bool valid_link(const std::wstring& link) {
    const bool http = link.starts_with(L"http://");
    const bool https = link.starts_with(L"https://");
    if (!http && !https) {
        return false;
    }
    return link.find(k_marker) != std::wstring::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::wstring text = corvale::decode_ansi(bytes);
    const corvale::Extracted_links found = corvale::extract_links(text, k_marker);
    for (const std::wstring& link : found.links) {
        FUZZ_CHECK(valid_link(link));
        FUZZ_CHECK(corvale::lower_az(link) == link);
    }
    std::vector<std::wstring> streamed;
    const bool complete =
        corvale::extract_links(bytes, "rapidshare.com/files/",
                               [&](std::wstring link) { streamed.push_back(std::move(link)); });
    FUZZ_CHECK(complete == found.scan_complete);
    FUZZ_CHECK(streamed == found.links);
    return 0;
}
