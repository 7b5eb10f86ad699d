#include "cli/cli.h"

#include "cli/arguments.h"

#include <gtest/gtest.h>

#include <sstream>

namespace corvale {
namespace {

struct Cli_run {
    int status;
    std::string out, err;
};

Cli_run run(std::vector<std::string> args, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out, err;
    const int status = run_cli(args, in, out, err);
    return {status, out.str(), err.str()};
}

TEST(Cli, GrabPrintsLinksInOrder) {
    struct Row {
        std::vector<std::string> args;
        std::string input, out;
        bool warns;
        const char* why;
    } rows[] = {
        {{"grab", "-"},
         "<A HREF=\"http://RapidShare.com/files/1/A.zip\">a</A> rapidshare.com/files/2/b.zip",
         "http://rapidshare.com/files/1/a.zip\nhttp://rapidshare.com/files/2/b.zip\n",
         false,
         "anchor then plain text"},
        {{"grab", "-"},
         "rapidshare.com/files/3/\xD9\x85.rar",
         "http://rapidshare.com/files/3/\xD9\x85.rar\n",
         false,
         "UTF-8 in, UTF-8 out"},
        {{"grab", "-"},
         "rapidshare.com/files/4/caf\xE9",
         "http://rapidshare.com/files/4/caf\xC3\xA9\n",
         false,
         "invalid UTF-8 read as Latin-1"},
        {{"grab", "--paste", "-"},
         "http://rapidshare.com/files/5/ahttp://rapidshare.com/files/6/b",
         "http://rapidshare.com/files/5/a\nhttp://rapidshare.com/files/6/b\n",
         false,
         "--paste splits links written back to back"},
        {{"grab", "-"},
         "http://rapidshare.com/files/5/ahttp://rapidshare.com/files/6/b",
         "http://rapidshare.com/files/5/ahttp://rapidshare.com/files/6/b\n",
         false,
         "without --paste they stay one"},
        {{"grab", "-"},
         "<a href=\"x\"> rapidshare.com/files/7/c",
         "http://rapidshare.com/files/7/c\n",
         true,
         "unclosed anchor: links kept, warning on stderr"},
        {{"grab", "-"}, "nothing here", "", false, "no links"},
    };
    for (const Row& row : rows) {
        const Cli_run r = run(row.args, row.input);
        EXPECT_EQ(r.status, 0) << row.why;
        EXPECT_EQ(r.out, row.out) << row.why;
        EXPECT_EQ(!r.err.empty(), row.warns) << row.why << ": " << r.err;
    }
}

TEST(Cli, UsageErrorsAndInformation) {
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string out_has, err_has;
    } rows[] = {
        {{}, 2, "", "usage: corvale-cli"},
        {{"--help"}, 0, "usage: corvale-cli", ""},
        {{"--version"}, 0, "corvale-cli 1.2.0.2", ""},
        {{"--bogus"}, 2, "", "unknown command '--bogus'"},
        {{"grab"}, 2, "", "usage: corvale-cli grab"},
        {{"grab", "--bogus", "-"}, 2, "", "unknown option '--bogus'"},
    };
    for (const Row& row : rows) {
        const Cli_run r = run(row.args);
        EXPECT_EQ(r.status, row.status) << row.err_has;
        EXPECT_NE(r.out.find(row.out_has), std::string::npos) << r.out;
        EXPECT_NE(r.err.find(row.err_has), std::string::npos) << r.err;
        if (row.out_has.empty()) {
            EXPECT_EQ(r.out, "");
        }
    }
}

// --limit-rate reads a rate as curl reads it: bytes, or K, M, G (1024-based).
TEST(Cli, LimitRateReadsBytesWithAnOptionalUnit) {
    struct Row {
        std::string text;
        std::optional<std::uint64_t> rate;
    } rows[] = {
        {"0", 0},
        {"1000", 1000},
        {"100B", 100},
        {"2k", 2048},
        {"2K", 2048},
        {"1m", 1048576},
        {"3M", 3u << 20},
        {"1G", 1u << 30},
        {"8589934592G", std::uint64_t{1} << 63},
        {"8589934593G", std::nullopt},  // past 2^63
        {"99999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"K", std::nullopt},
        {"1.5M", std::nullopt},
        {"-1", std::nullopt},
        {" 1", std::nullopt},
        {"1 K", std::nullopt},
        {"1KB", std::nullopt},
        {"1T", std::nullopt},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(parse_rate(row.text), row.rate) << "'" << row.text << "'";
    }
}

}  // namespace
}  // namespace corvale
