#include "cli/arguments.h"

namespace corvale {

std::optional<std::string> Arguments::value(const std::string& option) const {
    const auto it = values.find(option);
    return it == values.end() ? std::nullopt : std::optional<std::string>(it->second);
}

std::optional<std::uint64_t> parse_digits(std::string_view text) {
    if (text.empty() || text.size() > 19) {  // 19 digits always fit
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

bool parse_second_ms(const Arguments& args, std::chrono::milliseconds& second) {
    const auto text = args.value("--second-ms");
    if (!text) {
        return true;
    }
    const auto value = parse_digits(*text);
    if (!value || *value == 0 || *value > 3600000) {
        return false;
    }
    second = std::chrono::milliseconds(*value);
    return true;
}

Arguments parse_arguments(const std::vector<std::string>& args,
                          const std::set<std::string>& value_options,
                          const std::set<std::string>& flag_options) {
    Arguments parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || !arg.starts_with("--")) {
            parsed.positional.push_back(arg);
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        if (value_options.count(name) != 0) {
            if (equals != std::string::npos) {
                parsed.values[name] = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                parsed.values[name] = args[++i];
            } else {
                parsed.error = "option " + name + " needs a value";
                return parsed;
            }
        } else if (flag_options.count(arg) != 0) {
            parsed.flags.insert(arg);
        } else {
            parsed.error = "unknown option '" + arg + "'";
            return parsed;
        }
    }
    return parsed;
}

}  // namespace corvale
