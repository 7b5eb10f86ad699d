#include "host/file_host_protocol.h"
#include "corvale/text_ids.h"

#include <gtest/gtest.h>

#include "platform/url.h"

namespace corvale {
namespace {

const Host_config k_host;

TEST(FileHostProtocol, LinkCheck) {
    struct Row {
        std::wstring host, path;
        bool valid;
        const char* why;
    } rows[] = {
        {L"rapidshare.com", L"/files/123/x.zip", true, "the domain itself"},
        {L"a.rapidshare.com", L"/files/123/x.zip", true, "one label in front"},
        {L"a.b.rapidshare.com", L"/files/123/x.zip", true, "two labels in front"},
        {L"a.b.c.rapidshare.com", L"/files/123/x.zip", false, "three labels in front"},
        {L"rapidshare.net", L"/files/123/x.zip", false, "other top-level label"},
        {L"rapidshare", L"/files/123/x.zip", false, "no dot"},
        {L"notrapidshare.com", L"/files/123/x.zip", false, "label must match whole"},
        {L"a.xrapidshare.com", L"/files/123/x.zip", false, "label after the dot must match"},
        {L"RapidShare.COM", L"/files/123/x.zip", true, "host compared lower-cased"},
        {L"rapidshare.com", L"/files/12/x.zip", false, "two digits"},
        {L"rapidshare.com", L"/files/123/x.zip", true, "three digits"},
        {L"rapidshare.com", L"/files/12a/x.zip", false, "a letter among the digits"},
        {L"rapidshare.com", L"/FILES/123/Name.ZIP", true, "path compared lower-cased"},
        {L"rapidshare.com", L"/file/123/x.zip", false, "wrong prefix"},
        {L"rapidshare.com", L"/files/123", false, "no '/' after the digits: no file name"},
        {L"rapidshare.com", L"/files//x.zip", false, "no digits"},
        {L"rapidshare.com", L"/files/1234567890123/x", true, "long ids are fine"},
    };
    for (Row& row : rows) {
        EXPECT_EQ(check_link(k_host, row.host, row.path), row.valid) << row.why;
    }
}

TEST(FileHostProtocol, LinkCheckLowerCasesInPlaceAndSplitFollows) {
    std::wstring host = L"RS.RapidShare.com";
    std::wstring path = L"/FILES/123/Name.ZIP?X=Y";
    ASSERT_TRUE(check_link(k_host, host, path));
    EXPECT_EQ(host, L"rs.rapidshare.com");
    EXPECT_EQ(path, L"/files/123/name.zip?x=y");
    const Link_parts parts = split_link(path);
    EXPECT_EQ(parts.file_id, L"123");
    EXPECT_EQ(parts.file_name, L"name.zip?x=y");
    EXPECT_EQ(api_request_object(parts),
              L"/cgi-bin/rsapi.cgi?sub=download_v1&fileid=123&filename=name.zip?x=y&try=1");
}

TEST(FileHostProtocol, SplitKeepsEverythingAfterTheSecondSlash) {
    const Link_parts parts = split_link(L"/files/4567/dir/ملف.rar");
    EXPECT_EQ(parts.file_id, L"4567");
    EXPECT_EQ(parts.file_name, L"dir/ملف.rar");
}

TEST(FileHostProtocol, ConfigurationIsReplaceable) {
    const Host_config local{L"api.local.test", L"local", L"test"};
    std::wstring host = L"files.local.test";
    std::wstring path = L"/files/123/a";
    EXPECT_TRUE(check_link(local, host, path));
    host = L"rapidshare.com";
    EXPECT_FALSE(check_link(local, host, path));
    EXPECT_EQ(local.link_marker(), L"local.test/files/");
    EXPECT_EQ(k_host.link_marker(), L"rapidshare.com/files/");
}

TEST(FileHostProtocol, FileRequestUrlParsesBackToTheFileServer) {
    const std::wstring url = file_request_url(L"srv1", {L"123", L"name.zip"}, L"AB12");
    EXPECT_EQ(url,
              L"http://srv1/cgi-bin/rsapi.cgi?sub=download_v1&editparentlocation=0&bin=1&fileid=123"
              L"&filename=name.zip&dlauth=AB12");
    const auto parsed = parse_url(url);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->server, L"srv1");
    EXPECT_EQ(parsed->port, 80);
}

struct Reply_row {
    std::string reply;
    Reply_outcome outcome;
    int wait;
    int last_error_id;
    std::wstring host_text;
    const char* why;
};

const std::string k_script = "<script>location='x'</script>";

TEST(FileHostProtocol, ClassifiesReplies) {
    const Reply_row rows[] = {
        {"DL:srv1,AB12,0,ff", Reply_outcome::direct_link, 5, 0, L"", "wait 0 gives 5"},
        {"DL:srv1,AB12,30,ff", Reply_outcome::direct_link, 35, 0, L"", "wait 30 gives 35"},
        {"DL:srv1,AB12,-5,ff", Reply_outcome::direct_link, 0, 0, L"", "-5 + 5 = 0 is no wait"},
        {"DL:srv1,AB12,-99,ff", Reply_outcome::direct_link, 0, 0, L"", "negative is no wait"},
        {"DL:srv1,AB12, +7s,ff", Reply_outcome::direct_link, 12, 0, L"", "blank and sign allowed"},
        {"DL:srv1,AB12,0000012345,x", Reply_outcome::direct_link, 1239, 0, L"",
         "the wait field is read to 9 characters"},
        {"DL:srv1,AB12,0,a,b,c", Reply_outcome::direct_link, 5, 0, L"", "further commas ignored"},
        {"DL:srv1,AB12", Reply_outcome::no_direct_link, 0, 0, L"", "fewer than three commas"},
        {"srv1,AB12,10,x", Reply_outcome::no_direct_link, 15, 0, L"", "no DL: after the wait"},
        {"x,DL:srv1,10,x", Reply_outcome::no_direct_link, 15, 0, L"", "DL: not in the first field"},
        {"DL:,AB12,0,x", Reply_outcome::no_direct_link, 5, 0, L"", "empty file server"},
        {"", Reply_outcome::no_direct_link, 0, 0, L"", "empty reply"},
        {"ERROR: something", Reply_outcome::no_direct_link, 0, 0, L"", "error without <script"},
        {"ERROR: x You need RapidPro to download more files from your IP address" + k_script,
         Reply_outcome::refused, 300, texts::refusal_already_downloading, L"", "row 1 waits 300"},
        {"ERROR: x You need to wait 60 seconds." + k_script, Reply_outcome::refused, 65,
         texts::refusal_download_limit, L"", "row 2 with the seconds rule"},
        {"ERROR: Sorry, all slots busy. Currently a lot of users are downloading." + k_script,
         Reply_outcome::refused, 120, texts::refusal_many_users, L"",
         "row 3 without seconds waits 120"},
        {"ERROR: x All free download slots are full. Retry in 45 seconds" + k_script,
         Reply_outcome::refused, 50, texts::refusal_no_slots, L"", "row 4"},
        {"ERROR: Sorry. Please stop flooding now." + k_script, Reply_outcome::refused, 120,
         texts::refusal_flooding, L"", "row 5"},
        {"ERROR: You need to wait 95 seconds." + k_script, Reply_outcome::refused, 100, 0,
         L"You need to wait 95 seconds.", "phrase at the start matches nothing"},
        {"ERROR: Please wait 30 seconds." + k_script, Reply_outcome::refused, 35, 0,
         L"Please wait 30 seconds.", "row 6 with the seconds rule"},
        {"ERROR: Please stop flooding now." + k_script, Reply_outcome::refused, 120, 0,
         L"Please stop flooding now.", "no blank before the phrase"},
        {"ERROR: 30 seconds" + k_script, Reply_outcome::refused, 35, 0, L"30 seconds",
         "number at the very start of the message"},
        {"ERROR: wait -9 seconds" + k_script, Reply_outcome::refused, 120, 0, L"wait -9 seconds",
         "non-positive wait becomes 120"},
        {"ERROR: wait x99999999999 seconds" + k_script, Reply_outcome::refused, 5, 0,
         L"wait x99999999999 seconds", "no number before seconds: 0 + 5"},
        {"ERROR: wait 99999999999 seconds" + k_script, Reply_outcome::refused, 86400, 0,
         L"wait 99999999999 seconds", "a huge number does not overflow"},
        {"ERROR:<script>", Reply_outcome::refused, 120, 0, L"", "script before offset 7"},
        {"ERROR: caf\xE9 ferm\xC3\xA9" + k_script, Reply_outcome::refused, 120, 0, L"café fermé",
         "ANSI conversion of the host text"},
        {"ERROR: x You need to wait" + k_script + " lot of users", Reply_outcome::refused, 120,
         texts::refusal_download_limit, L"", "only the text before <script counts"},
    };
    for (const Reply_row& row : rows) {
        const Api_reply reply = classify_api_reply(row.reply);
        EXPECT_EQ(reply.outcome, row.outcome) << row.why;
        EXPECT_EQ(reply.wait_seconds, row.wait) << row.why;
        EXPECT_EQ(reply.last_error_id, row.last_error_id) << row.why;
        EXPECT_EQ(reply.host_text, row.host_text) << row.why;
    }
}

TEST(FileHostProtocol, NoWaitIsLongerThanADay) {
    struct Row {
        std::string reply;
        int wait;
        std::int64_t asked;
        const char* why;
    } rows[] = {
        {"DL:srv1,AB12,86395,x", 86400, 86400, "a day exactly: not cut"},
        {"DL:srv1,AB12,86396,x", 86400, 86401, "a second more"},
        {"DL:srv1,AB12,999999999,x", 86400, 1000000004, "the largest wait field"},
        {"ERROR: x You need to wait 2147483647 seconds." + k_script, 86400, 2147483652,
         "the largest int, plus the five seconds, without overflow"},
        {"ERROR: x lot of users. Retry in 99999999999 seconds" + k_script, 86400, 2147483652,
         "more digits than an int holds"},
        {"ERROR: x You need RapidPro to download more files from your IP address" + k_script, 300,
         300, "a fixed wait"},
    };
    for (const Row& row : rows) {
        const Api_reply reply = classify_api_reply(row.reply);
        EXPECT_EQ(reply.wait_seconds, row.wait) << row.why;
        EXPECT_EQ(reply.asked_wait_seconds, row.asked) << row.why;
    }
}

TEST(FileHostProtocol, DirectLinkFieldsAndLastErrorTexts) {
    const Api_reply direct = classify_api_reply("DL:rs42.rapidshare.com,ABCDEF0123,10,0.5");
    EXPECT_EQ(direct.file_server, L"rs42.rapidshare.com");
    EXPECT_EQ(direct.authorisation, L"ABCDEF0123");

    const std::string long_server(2000, 's');
    const Api_reply cut = classify_api_reply("DL:" + long_server + ",a,0,x");
    EXPECT_EQ(cut.file_server.size(), 1033u);

    EXPECT_EQ(last_error_text(classify_api_reply("ERROR: x lot of users" + k_script)),
              L"Currently a lot of users are downloading.");
    EXPECT_EQ(last_error_text(classify_api_reply("ERROR: Go away." + k_script)), L"Go away.");
    const std::string long_message(3000, 'm');
    EXPECT_EQ(classify_api_reply("ERROR: " + long_message + k_script).host_text.size(), 1033u);
}

TEST(FileHostProtocol, TheDirectLinkServerIsAHostNameAndNothingMore) {
    struct Row {
        std::string server;
        bool accepted;
        const char* why;
    } rows[] = {
        {"rs42.rapidshare.com", true, "a host name"},
        {"127.0.0.1:8080", true, "an address with a port"},
        {"[::1]:8080", true, "a bracketed IPv6 literal with a port"},
        {"[::1]", true, "a bracketed IPv6 literal"},
        {"evil.test/path?q=", false, "a path would replace the request's own"},
        {"evil.test#", false, "a fragment would cut the request off"},
        {"evil.test?x", false, "a query"},
        {"user@evil.test", false, "user information changes the host"},
        {std::string("a\0b", 3), false, "a NUL"},
        {"host:", false, "a colon without a port"},
        {"host:123456", false, "a port of six digits"},
        {"[::1]:80801", false, "a port above 65535 (found by fuzzing)"},
        {"host:0", false, "port 0"},
        {"host:65535", true, "the highest port"},
        {"host:8x", false, "a port that is not a number"},
        {"[]", false, "empty brackets"},
        {"[::1", false, "an unclosed bracket"},
        {"[::g]", false, "not an IPv6 literal"},
        {"ho st", false, "a blank"},
    };
    for (const Row& row : rows) {
        const Api_reply reply = classify_api_reply("DL:" + row.server + ",AB12,0,x");
        EXPECT_EQ(reply.outcome == Reply_outcome::direct_link, row.accepted) << row.why;
    }
}

TEST(FileHostProtocol, SessionExpired) {
    EXPECT_TRUE(session_expired("The download session has expired"));
    EXPECT_TRUE(session_expired("<html>The download session has expired, sorry"));
    EXPECT_FALSE(session_expired("the download session has expired"));
    EXPECT_FALSE(session_expired("The download session has expire"));
    EXPECT_FALSE(session_expired(""));
}

}  // namespace
}  // namespace corvale
