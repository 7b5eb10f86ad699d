#include "cli/grab_command.h"

#include <iostream>
#include <iterator>

#include "cli/arguments.h"
#include "engine/host_config.h"
#include "platform/wide_text.h"
#include "tools/link_extraction.h"

namespace corvale {

namespace {

constexpr std::string_view k_grab_usage = "usage: corvale-cli grab [--paste] -\n";

}  // namespace

int run_grab(const std::vector<std::string>& raw, Cli_streams io) {
    std::istream& in = io.in;
    std::ostream& out = io.out;
    std::ostream& err = io.err;
    const Arguments args = parse_arguments(raw, {}, {"--paste"});
    if (!args.error.empty() || args.positional != std::vector<std::string>{"-"}) {
        err << "corvale-cli grab: " << (args.error.empty() ? "expected '-'" : args.error) << '\n'
            << k_grab_usage;
        return 2;
    }
    const bool paste = args.has("--paste");
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        err << "corvale-cli grab: standard input cannot be read\n";
        return 1;
    }
    std::wstring text = decode_ansi(bytes);
    if (paste) {
        text = split_pasted_links(text);
    }
    const Extracted_links found = extract_links(text, Host_config{}.link_marker());
    std::string printed;
    for (const std::wstring& link : found.links) {
        printed += encode_utf8(link);
        printed += '\n';
    }
    out << printed << std::flush;
    if (!found.scan_complete) {
        err << "corvale-cli grab: an anchor \"<a \" has no \"</a>\" after it; links in anchors "
               "from there on were not taken, plain links were\n";
    }
    return out ? 0 : 1;
}

}  // namespace corvale
