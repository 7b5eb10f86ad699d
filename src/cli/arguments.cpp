#include "cli/arguments.h"

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
    const auto value = parse_digits(*text);
    if (!value || *value == 0 || *value > 3600000) {
        return false;
    }
    second = std::chrono::milliseconds(*value);
    return true;
}

std::optional<std::uint64_t> parse_rate(std::string_view text) {
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
        ++digits;
    }
    const auto number = parse_digits(text.substr(0, digits));
    const std::string_view unit = text.substr(digits);
    if (!number || unit.size() > 1) {
        return std::nullopt;
    }
    int shift = 0;
    switch (unit.empty() ? 'b' : unit[0]) {
        case 'b':
        case 'B':
            shift = 0;
            break;
        case 'k':
        case 'K':
            shift = 10;
            break;
        case 'm':
        case 'M':
            shift = 20;
            break;
        case 'g':
        case 'G':
            shift = 30;
            break;
        default:
            return std::nullopt;
    }
    if (*number > (std::uint64_t{1} << (63 - shift))) {
        return std::nullopt;
    }
    return *number << shift;
}

std::string apply_transfer_options(const Arguments& args, Transfer_settings& settings) {
    std::chrono::milliseconds second(1000);
    if (!parse_second_ms(args, second)) {
        return "--second-ms takes 1 to 3600000";
    }
    std::optional<std::uint64_t> rate;
    if (const auto text = args.value("--limit-rate")) {
        rate = parse_rate(*text);
        if (!rate) {
            return "--limit-rate takes bytes per second, with K, M or G after them";
        }
    }
    settings.change([&](Transfer_values& values) {
        values.timing.second = second;
        if (rate) {
            if (!values.speed_limits) {
                values.speed_limits = Speed_limits::make();
            }
            values.speed_limits->set_global({*rate, {}});
        }
    });
    return {};
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
