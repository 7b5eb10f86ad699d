#include "tools/update_check.h"
#include "corvale/text_ids.h"

#include <gtest/gtest.h>

#include "fakehost/fake_host.h"
#include "platform/http.h"
#include "platform/wide_text.h"

namespace corvale {
namespace {

using fakehost::Fake_host;
using fakehost::Reply;

TEST(VersionFile, IsReadLineByLine) {
    struct Row {
        std::wstring reply;
        std::wstring latest;
        std::optional<std::wstring> date;
        std::optional<std::wstring> information;
        const char* why;
    };
    const Row rows[] = {
        {L"1.2.0.3\r\n2026-11-30\r\nFaster downloads.\r\nFixes.", L"1.2.0.3", L"2026-11-30",
         L"Faster downloads.\r\nFixes.", "three parts"},
        {L"1.2.0.3", L"1.2.0.3", std::nullopt, std::nullopt, "only the version line"},
        {L"\r\r1.3\r\nMay", L"1.3", L"May", std::nullopt, "leading carriage returns skipped"},
        {L"1.3\r\n\r\ninfo", L"1.3", std::nullopt, std::nullopt,
         "an empty date: nothing after it is taken"},
        {L"1.3\r\nMay\r\n", L"1.3", L"May", std::nullopt, "an empty information"},
        {L"", L"", std::nullopt, std::nullopt, "empty"},
        {L"\r\r", L"", std::nullopt, std::nullopt, "only carriage returns"},
        {L"1.3\rMay\rinfo", L"1.3", L"May", L"info", "carriage returns without line feeds"},
    };
    for (const Row& row : rows) {
        const Version_file file = parse_version_file(row.reply);
        EXPECT_EQ(file.latest, row.latest) << row.why;
        EXPECT_EQ(file.date, row.date) << row.why;
        EXPECT_EQ(file.information, row.information) << row.why;
    }
}

TEST(VersionFile, VersionsCompareAsNumbersWithoutDots) {
    struct Row {
        std::wstring current;
        std::wstring latest;
        bool available;
        const char* why;
    };
    const Row rows[] = {
        {L"1.2.0.2", L"1.2.0.3", true, "1203 > 1202"},
        {L"1.2.0.2", L"1.2.0.2", false, "equal"},
        {L"1.2.0.2", L"1.3", false, "13 < 1202: the dots are simply removed"},
        {L"1.2.0.2", L"  1.2.1.0\t", true, "white space around the latest is trimmed"},
        {L"1.2.0.2", L"beta", false, "no digits: version 0"},
        {L"1.2.0.2", L"99999999999999999999", true, "too many digits: the largest number"},
        {L"1.2.0.2", L"1.2.0.3 (beta)", true, "leading digits only"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(update_available(row.current, row.latest), row.available) << row.why;
    }
    EXPECT_EQ(version_number(L"1.2.0.2"), 1202);
}

TEST(VersionFile, SourceFromUrl) {
    const auto source = update_source_from_url(L"http://127.0.0.1:8080/v.txt");
    ASSERT_TRUE(source);
    EXPECT_EQ(source->server, L"127.0.0.1");
    EXPECT_EQ(source->port, 8080);
    EXPECT_EQ(source->path, L"/v.txt");
    EXPECT_FALSE(update_source_from_url(L"ftp://x/v.txt"));
    EXPECT_FALSE(update_source_from_url(L"not a url"));
    EXPECT_EQ(default_update_source().path, L"/corvale/version_a.txt");
    EXPECT_EQ(default_update_source().port, 80);
}

std::string version_body(const std::wstring& text) {
    return "\xFF\xFE" + to_utf16le(text);
}

TEST(VersionFetch, ReadsTheReplyOrSaysWhy) {
    fakehost::clear_proxy_environment();
    struct Row {
        Reply reply;
        int status;
        std::wstring text;
        const char* why;
    };
    const std::string big(k_version_file_limit, 'x');
    const Row rows[] = {
        {Reply{200, version_body(L"1.2.0.3\r\nMay")}, 200, L"1.2.0.3\r\nMay", "a version file"},
        {Reply{404, "gone"}, 404, L"", "not found: nothing read"},
        {Reply{401, "who?"}, 401, L"", "401: nothing read"},
        {Reply{200, big}, 200, L"", "10,240 bytes: not read"},
        {Reply{200, big, 0, false}, 200, L"", "too large without a length: not read"},
        {Reply{200, "\xFF\xFE"}, 200, L"", "only the mark: empty"},
        {Reply{.endless = true}, 200, L"", "an endless reply ends at the limit"},
    };
    for (const Row& row : rows) {
        Fake_host host([&](const fakehost::Request&) { return row.reply; });
        Stop_event stop;
        Update_source source{Service_type::http, L"127.0.0.1",
                             static_cast<std::uint16_t>(host.port()), L"/corvale/version_a.txt"};
        const Version_fetch fetch = fetch_version_file(source, stop);
        EXPECT_EQ(fetch.status, row.status) << row.why;
        EXPECT_EQ(fetch.reply, row.text) << row.why;
        const auto requests = host.requests();
        ASSERT_EQ(requests.size(), 1u) << row.why;
        EXPECT_EQ(requests[0].path, "/corvale/version_a.txt");
        const auto agent = requests[0].headers.find("User-Agent");
        ASSERT_NE(agent, requests[0].headers.end());
        EXPECT_EQ(agent->second, "Corvale/1.0");
    }
}

// A server that drips its reply, or never sends it, cannot hold the check
// past its deadline; one that drips within it is read whole.
TEST(VersionFetch, EndsByItsDeadline) {
    fakehost::clear_proxy_environment();
    using std::chrono::milliseconds;
    const std::wstring too_long = L"The update server took too long to answer.";
    struct Row {
        Reply reply;
        milliseconds deadline;
        int status;
        std::wstring text;
        std::wstring error;
        const char* why;
    };
    const Row rows[] = {
        {Reply{.body = version_body(L"1.3"), .drip = milliseconds(1)}, k_update_check_deadline, 200,
         L"1.3", L"", "dripping, but done in time"},
        {Reply{.body = std::string(200, 'x'), .drip = milliseconds(20)}, milliseconds(100), 0, L"",
         too_long, "a byte now and then: the reads run past the deadline"},
        {Reply{.body = "x", .delay = milliseconds(500)}, milliseconds(50), 0, L"", too_long,
         "no answer at all before the deadline"},
    };
    for (const Row& row : rows) {
        Fake_host host([&](const fakehost::Request&) { return row.reply; });
        Stop_event stop;
        const Version_fetch fetch = fetch_version_file(
            {Service_type::http, L"127.0.0.1", static_cast<std::uint16_t>(host.port()), L"/v"},
            stop, row.deadline);
        EXPECT_EQ(fetch.status, row.status) << row.why;
        EXPECT_EQ(fetch.reply, row.text) << row.why;
        EXPECT_EQ(fetch.error, row.error) << row.why;
    }
}

TEST(VersionFetch, AStopStillEndsADrippingCheck) {
    fakehost::clear_proxy_environment();
    Stop_event stop;
    Fake_host host([&](const fakehost::Request&) {
        stop.set();  // the window closes while the reply drips
        return Reply{.body = std::string(200, 'x'), .drip = std::chrono::milliseconds(20)};
    });
    const Version_fetch fetch = fetch_version_file(
        {Service_type::http, L"127.0.0.1", static_cast<std::uint16_t>(host.port()), L"/v"}, stop);
    EXPECT_EQ(fetch.status, 0);
    EXPECT_EQ(fetch.error, http_error_text(k_http_stopped)) << "stopped, not timed out";
}

TEST(VersionFetch, NoServerGivesAnErrorText) {
    fakehost::clear_proxy_environment();
    int port = 0;
    {
        Fake_host gone([](const fakehost::Request&) { return Reply{}; });
        port = gone.port();
    }
    Stop_event stop;
    const Version_fetch fetch = fetch_version_file(
        {Service_type::http, L"127.0.0.1", static_cast<std::uint16_t>(port), L"/v"}, stop);
    EXPECT_EQ(fetch.status, 0);
    EXPECT_TRUE(fetch.reply.empty());
    EXPECT_FALSE(fetch.error.empty());
}

}  // namespace
}  // namespace corvale
