#include "host/link_extraction.h"

#include <gtest/gtest.h>

#include "platform/wide_text.h"

namespace corvale {
namespace {

constexpr std::wstring_view k_marker = L"rapidshare.com/files/";

struct Row {
    std::wstring page;
    std::vector<std::wstring> links;
    bool complete;
    const char* why;
};

TEST(LinkExtraction, FindsLinksInAnchorsAndPlainText) {
    const Row rows[] = {
        {L"<a href=\"http://rapidshare.com/files/123/a.zip\">a</a>",
         {L"http://rapidshare.com/files/123/a.zip"},
         true,
         "one anchor"},
        {L"<a href=\"http://rapidshare.com/files/1/a\">x</a> <a "
         L"href=\"http://rapidshare.com/files/1/a\">y</a>",
         {L"http://rapidshare.com/files/1/a", L"http://rapidshare.com/files/1/a"},
         true,
         "the same link twice is listed twice"},
        {L"see rapidshare.com/files/9/b.rar\n<a href=\"http://rapidshare.com/files/9/b.rar\">b</a>",
         {L"http://rapidshare.com/files/9/b.rar", L"http://rapidshare.com/files/9/b.rar"},
         true,
         "anchor first, then the plain-text occurrence"},
        {L"<a href='http://rapidshare.com/files/5/c.zip'>c</a>",
         {L"http://rapidshare.com/files/5/c.zip"},
         true,
         "single quotes: nothing from the anchor pass; the plain pass stops at the quote"},
        {L"rapidshare.com/files/6/f.zip\trapidshare.com/files/7/g>x",
         {L"http://rapidshare.com/files/6/f.zip", L"http://rapidshare.com/files/7/g"},
         true,
         "a tab and a '>' end a plain link"},
        {L"<A HREF=\"HTTP://RapidShare.COM/Files/77/Big.ZIP\">X</A>",
         {L"http://rapidshare.com/files/77/big.zip"},
         true,
         "upper case comes out lower case"},
        {L"(mirror: https://www.rapidshare.com/files/42/d.7z)",
         {L"http://rapidshare.com/files/42/d.7z"},
         true,
         "plain text loses host prefix and scheme, ends at ')'"},
        {L"<a href=\"rapidshare.com/files/8/e\">e</a>",
         {L"http://rapidshare.com/files/8/e"},
         true,
         "anchor link without scheme gets one"},
        {L"<a href=\"https://rapidshare.com/files/8/e\">e</a>",
         {L"https://rapidshare.com/files/8/e"},
         true,
         "an https link stays one"},
        {L"<a title=\"rapidshare.com/files/1/t\" href=\"/other\">t</a>",
         {L"http://rapidshare.com/files/1/t"},
         true,
         "marker in the anchor but not in its link: not filled, so the plain pass sees it"},
        {L"<a name=\"rapidshare.com/files/2/n\">n</a>",
         {L"http://rapidshare.com/files/2/n"},
         true,
         "anchor without link attribute: the plain pass still sees its text"},
        {L"<a href=\"http://rapidshare.com/files/3/u>u</a>",
         {L"http://rapidshare.com/files/3/u"},
         true,
         "no closing quote inside the anchor: the plain pass stops at '>'"},
        {L"\r\n <)[\"}*#", {}, true, "only delimiters"},
        {L"", {}, true, "empty text"},
        {L"rapidshare.com/files/",
         {L"http://rapidshare.com/files/"},
         true,
         "the bare marker is a token"},
        {L"rapidshare.com/files/1/a#frag rapidshare.com/files/2/b*c[d",
         {L"http://rapidshare.com/files/1/a", L"http://rapidshare.com/files/2/b"},
         true,
         "each delimiter ends a token"},
        {L"rapidshare.com/files/1/arapidshare.com/files/2/b",
         {L"http://rapidshare.com/files/1/arapidshare.com/files/2/b"},
         true,
         "links back to back without splitting stay one token"},
        {L"<a href=\"http://rapidshare.com/files/1/a\">a</a> <a href=\"x\">unclosed "
         L"rapidshare.com/files/2/b\n",
         {L"http://rapidshare.com/files/1/a", L"http://rapidshare.com/files/2/b"},
         false,
         "unclosed anchor: earlier anchors kept, plain text still read, scan incomplete"},
        {L"<a href=\"http://rapidshare.com/files/4/z\">",
         {L"http://rapidshare.com/files/4/z"},
         false,
         "an unclosed anchor's own link is found by the plain pass"},
    };
    for (const Row& row : rows) {
        std::wstring text = row.page;
        const Extracted_links found = extract_links(text, k_marker);
        EXPECT_EQ(found.links, row.links) << row.why;
        EXPECT_EQ(found.scan_complete, row.complete) << row.why;
    }
}

TEST(LinkExtraction, FillsUsedAnchorsAndLowercasesTheText) {
    std::wstring text = L"A<a href=\"http://rapidshare.com/files/1/a\">X</a>B<a href=\"/y\">Y</a>";
    extract_links(text, k_marker);
    EXPECT_EQ(text, L"a" + std::wstring(43, L'*') + L"</a>b<a href=\"/y\">y</a>");
}

TEST(LinkExtraction, PasteSplittingSeparatesLinksWrittenBackToBack) {
    struct Paste_row {
        std::wstring in, split;
        std::vector<std::wstring> links;
        const char* why;
    } rows[] = {
        {L"HTTP://rapidshare.com/files/1/A.zip",
         L"http://rapidshare.com/files/1/a.zip",
         {L"http://rapidshare.com/files/1/a.zip"},
         "single link at 0 only lowercased"},
        {L"http://rapidshare.com/files/1/ahttp://rapidshare.com/files/2/b",
         L"http://rapidshare.com/files/1/a\rhttp://rapidshare.com/files/2/b",
         {L"http://rapidshare.com/files/1/a", L"http://rapidshare.com/files/2/b"},
         "two links back to back come apart"},
        {L"x http:http:", L"x \rhttp:\rhttp:", {}, "every later http: gets a carriage return"},
        {L"", L"", {}, "empty"},
    };
    for (const Paste_row& row : rows) {
        std::wstring text = split_pasted_links(row.in);
        EXPECT_EQ(text, row.split) << row.why;
        EXPECT_EQ(extract_links(text, k_marker).links, row.links) << row.why;
    }
}

// The bytes of a page give the links that its decoded text gives, in the
// same order, whatever its other bytes are.
TEST(LinkExtraction, BytesGiveTheLinksOfTheDecodedText) {
    struct Bytes_row {
        std::string page;
        const char* why;
    } rows[] = {
        {"<a href=\"http://rapidshare.com/files/1/\xD9\x85.zip\">x</a> rapidshare.com/files/2/b",
         "UTF-8 inside a link"},
        {"caf\xE9 RapidShare.com/files/3/caf\xE9.zip\xC3<a href=\"rapidshare.com/files/4/d\">",
         "Latin-1 bytes, a cut sequence, an anchor without an end"},
        {"http:rapidshare.com/files/5/ehttp://rapidshare.com/files/6/f", "back to back"},
        {std::string("rapidshare.com/files/7/g\0h rapidshare.com/files/8/i", 52), "a NUL byte"},
    };
    const std::string marker = encode_utf8(k_marker);
    for (const Bytes_row& row : rows) {
        for (const bool paste : {false, true}) {
            std::wstring text = decode_ansi(row.page);
            if (paste) {
                text = split_pasted_links(text);
            }
            const Extracted_links expected = extract_links(text, k_marker);
            std::string bytes = paste ? split_pasted_links(std::string_view(row.page)) : row.page;
            std::vector<std::wstring> links;
            const bool complete =
                extract_links(bytes, marker, [&](std::wstring link) { links.push_back(link); });
            EXPECT_EQ(links, expected.links) << row.why << (paste ? " (pasted)" : "");
            EXPECT_EQ(complete, expected.scan_complete) << row.why;
        }
    }
}

}  // namespace
}  // namespace corvale
