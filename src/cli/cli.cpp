#include "cli/cli.h"

#include <iostream>
#include <iterator>
#include <string_view>

#include "cli/grab_command.h"
#include "corvale/version.h"
#include "platform/wide_text.h"

namespace corvale {

namespace {

constexpr std::string_view k_usage =
    "usage: corvale-cli COMMAND [OPTIONS]\n"
    "\n"
    "commands:\n"
    "  grab [--paste] -     read a page (or pasted text with --paste) from standard\n"
    "                       input and print the file host's links in it, one a line\n"
    "\n"
    "options:\n"
    "  --help               show this text\n"
    "  --version            show the program's version\n";

}  // namespace

int run_cli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err) {
    if (args.empty()) {
        err << k_usage;
        return 2;
    }
    const std::string& command = args.front();
    if (command == "--help" || command == "-h") {
        out << k_usage;
        return 0;
    }
    if (command == "--version") {
        out << "corvale-cli " << encode_utf8(k_file_version) << '\n';
        return 0;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "grab") {
        return run_grab(rest, in, out, err);
    }
    err << "corvale-cli: unknown command '" << command << "'\n" << k_usage;
    return 2;
}

}  // namespace corvale
