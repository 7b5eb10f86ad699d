// The API reply classification, and the direct-link reply in particular
// (the input is tried as it is and behind "DL:"): a direct link always names
// a usable file server, from which the file request URL parses.

#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "host/file_host_protocol.h"
#include "platform/url.h"

namespace {

void check(std::string_view reply) {
    const corvale::Api_reply classified = corvale::classify_api_reply(reply);
    FUZZ_CHECK(classified.wait_seconds >= 0 && classified.wait_seconds <= corvale::k_longest_wait);
    if (classified.outcome == corvale::Reply_outcome::refused) {
        (void)corvale::last_error_text(classified);
    }
    if (classified.outcome != corvale::Reply_outcome::direct_link) {
        return;
    }
    FUZZ_CHECK(!classified.file_server.empty());
    const std::wstring url = corvale::file_request_url(
        classified.file_server, corvale::split_link(L"/files/123/a.zip"), classified.authorisation);
    const auto parsed = corvale::parse_url(url);
    FUZZ_CHECK(parsed.has_value());
    FUZZ_CHECK(!parsed->server.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string reply(reinterpret_cast<const char*>(data), size);
    check(reply);
    check("DL:" + reply);
    (void)corvale::session_expired(reply);
    return 0;
}
