#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace corvale {

struct Cli_streams {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool interactive;  // standard input is a terminal
};

// corvale-cli list FILE
int run_list(const std::vector<std::string>& args, Cli_streams io);
// corvale-cli add FILE --url URL --folder DIR --name NAME [--description TEXT] [--yes|--no]
int run_add(const std::vector<std::string>& args, Cli_streams io);
// corvale-cli merge FILE OTHER [--yes|--no]
int run_merge(const std::vector<std::string>& args, Cli_streams io);

}  // namespace corvale
