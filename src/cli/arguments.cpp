#include "cli/arguments.h"

#include "platform/wide_text.h"

namespace corvale {

std::optional<std::string> Arguments::value(const std::string& option) const {
    const auto it = values.find(option);
    return it == values.end() ? std::nullopt : std::optional<std::string>(it->second);
}

bool parse_second_ms(const Arguments& args, std::chrono::milliseconds& second) {
    const auto text = args.value("--second-ms");
    if (!text) {
        return true;
    }
    std::size_t consumed = 0;
    const std::uint64_t value = parse_uint64(decode_ansi(*text), 10, &consumed);
    if (text->empty() || consumed != text->size() || value == 0 || value > 3600000) {
        return false;
    }
    second = std::chrono::milliseconds(value);
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
