#include "platform/url.h"

#include <gtest/gtest.h>

namespace corvale {
namespace {

TEST(Url, SplitsServiceServerObjectAndPort) {
    struct Row {
        std::wstring in;
        Service_type service;
        std::wstring server, object;
        std::uint16_t port;
        const char* why;
    } rows[] = {
        {L"http://rapidshare.com/files/123/a.zip", Service_type::http, L"rapidshare.com",
         L"/files/123/a.zip", 80, "http default port"},
        {L"https://host/x?y=1", Service_type::https, L"host", L"/x?y=1", 443, "https, query kept"},
        {L"ftp://h", Service_type::ftp, L"h", L"/", 21, "empty path becomes /"},
        {L"HTTP://Host:8080/A", Service_type::http, L"Host", L"/A", 8080,
         "explicit port wins; scheme case ignored; nothing else changed"},
        {L"http://user:pw@host/p", Service_type::http, L"host", L"/p", 80, "user info dropped"},
        {L"http://host?q", Service_type::http, L"host", L"/?q", 80, "query right after host"},
        {L"http://[::1]:81/p", Service_type::http, L"[::1]", L"/p", 81, "IPv6 literal"},
        {L"foo://host/p", Service_type::unknown, L"host", L"/p", 0, "unknown scheme"},
        {L"http://h/ملف دو.zip", Service_type::http, L"h", L"/ملف دو.zip", 80,
         "no escaping or unescaping"},
    };
    for (const Row& row : rows) {
        const auto url = parse_url(row.in);
        ASSERT_TRUE(url.has_value()) << row.why;
        EXPECT_EQ(url->service, row.service) << row.why;
        EXPECT_EQ(url->server, row.server) << row.why;
        EXPECT_EQ(url->object, row.object) << row.why;
        EXPECT_EQ(url->port, row.port) << row.why;
    }
}

TEST(Url, RefusesTextThatIsNotAUrl) {
    const wchar_t* rows[] = {
        L"rapidshare.com/files/123/a.zip",  // no scheme: the caller adds "http://"
        L"",
        L"http:/host/x",         // one slash
        L"http://",              // no host
        L"http:///x",            // empty host
        L"http://host:/x",       // empty port
        L"http://host:99999/x",  // port out of range
        L"http://host:8a/x",     // port not numeric
        L"1http://host",         // scheme must start with a letter
        L"ht tp://host",         // blank in scheme
        L"http://[::1/x",        // unclosed IPv6 literal
    };
    for (const wchar_t* row : rows) {
        EXPECT_FALSE(parse_url(row).has_value()) << "accepted: " << std::wstring(row).size();
    }
}

TEST(Url, TypedLinksBecomeUsable) {
    struct Row {
        const wchar_t* typed;
        const wchar_t* usable;
        const char* why;
    } rows[] = {
        {L"rapidshare.com/files/1/a.zip", L"http://rapidshare.com/files/1/a.zip", "no scheme"},
        {L"http://rapidshare.com/files/1/a.zip", L"http://rapidshare.com/files/1/a.zip", "http"},
        {L"HTTP://Host/x", L"HTTP://Host/x", "the scheme in capitals is kept as typed"},
        {L"https://host/page", L"https://host/page", "https stays https"},
        {L"HtTpS://host/page", L"HtTpS://host/page", "https in any case"},
        {L"ftp://host/x", L"http://ftp://host/x", "another scheme still gets http:// in front"},
        {L"http:/host", L"http://http:/host", "one slash is no scheme"},
        {L"https:", L"http://https:", "too short to be https://"},
        {L"", L"http://", "empty"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(usable_link(row.typed), row.usable) << row.why;
    }
}

}  // namespace
}  // namespace corvale
