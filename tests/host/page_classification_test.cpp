#include "host/page_classification.h"
#include "corvale/text_ids.h"

#include <gtest/gtest.h>

namespace corvale {
namespace {

TEST(PageClassification, Verdicts) {
    struct Row {
        std::wstring page;
        Page_verdict verdict;
        std::wstring name, size;
        const char* why;
    } rows[] = {
        {L"<p>ERROR: File not found</p>#!download|a|b|c|d|e\";", Page_verdict::not_found, L"", L"",
         "not found wins over everything"},
        {L"<html>hello</html>", Page_verdict::verified, L"", L"", "no marker: verified, no fields"},
        {L"var x=\"#!download|srv|123|movie.avi|700 MB\";", Page_verdict::verified, L"movie.avi",
         L"700 MB", "fields read after the closing quote becomes a bar"},
        {L"#!download|a|b|c|d", Page_verdict::not_found, L"", L"", "only four bars"},
        {L"Premium only #!download|a|b|name|12 KB\";", Page_verdict::premium_required, L"name",
         L"12 KB", "remium before the marker"},
        {L"#!download|a|b|name|12 KB\"; get Premium", Page_verdict::verified, L"name", L"12 KB",
         "remium only after the marker"},
        {L"premium, no marker here", Page_verdict::verified, L"", L"", "remium without marker"},
        {L"ERROR: busy #!download|a|b|c|d\";", Page_verdict::not_found, L"", L"",
         "with ERROR: the quote is not turned into a bar"},
        {L"error: file not found", Page_verdict::verified, L"", L"",
         "comparisons are case-sensitive"},
        {L"#!download|||||", Page_verdict::verified, L"", L"", "empty fields"},
    };
    for (const Row& row : rows) {
        std::wstring page = row.page;
        const Page_classification result = classify_page(page);
        EXPECT_EQ(result.verdict, row.verdict) << row.why;
        EXPECT_EQ(result.file_name, row.name) << row.why;
        EXPECT_EQ(result.size, row.size) << row.why;
    }
}

}  // namespace
}  // namespace corvale
