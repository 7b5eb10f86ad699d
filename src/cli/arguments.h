#pragma once

// Command-line arguments of one command: options that take a value
// ("--url URL" or "--url=URL"), flags, and positional words ("-" included).

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/transfer_settings.h"
#include "platform/wide_text.h"

namespace corvale {

struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;
    std::set<std::string> flags;
    std::string error;  // empty when the arguments were understood

    bool has(const std::string& flag) const { return flags.count(flag) != 0; }
    std::optional<std::string> value(const std::string& option) const;
};

// The length of a worker's second from --second-ms (1 to 3600000); false
// when the value is not such a number. Without the option `second` stays.
bool parse_second_ms(const Arguments& args, std::chrono::milliseconds& second);

// A rate as --limit-rate gives it: bytes per second in decimal digits, with
// an optional unit after them, K, M or G (1024-based) or B, in either case.
// No value for anything else, or for a rate past 2^63.
std::optional<std::uint64_t> parse_rate(std::string_view text);

// Applies the transfer options among `args` to `settings`: --second-ms (the
// length of a worker's second) and --limit-rate (the global speed limit).
// Empty when they were understood, otherwise what is wrong; nothing is
// changed then.
std::string apply_transfer_options(const Arguments& args, Transfer_settings& settings);

Arguments parse_arguments(const std::vector<std::string>& args,
                          const std::set<std::string>& value_options,
                          const std::set<std::string>& flag_options);

}  // namespace corvale
