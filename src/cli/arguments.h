#pragma once

// Command-line arguments of one command: options that take a value
// ("--url URL" or "--url=URL"), flags, and positional words ("-" included).

#include <map>
#include <optional>
#include <set>
#include <string>
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

Arguments parse_arguments(const std::vector<std::string>& args,
                          const std::set<std::string>& value_options,
                          const std::set<std::string>& flag_options);

}  // namespace corvale
