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

namespace corvale {

struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;
    std::set<std::string> flags;
    std::string error;  // empty when the arguments were understood

    bool has(const std::string& flag) const { return flags.count(flag) != 0; }
    std::optional<std::string> value(const std::string& option) const;
};

// A number written with decimal digits only (no blank, no sign); no value
// for anything else, or for more than 19 digits.
std::optional<std::uint64_t> parse_digits(std::string_view text);

// The length of a worker's second from --second-ms (1 to 3600000); false
// when the value is not such a number. Without the option `second` stays.
bool parse_second_ms(const Arguments& args, std::chrono::milliseconds& second);

Arguments parse_arguments(const std::vector<std::string>& args,
                          const std::set<std::string>& value_options,
                          const std::set<std::string>& flag_options);

}  // namespace corvale
