#pragma once

// corvale-cli: the program's core without windows. run_cli is the whole
// program; main() only hands it the process's arguments and streams.

#include <iosfwd>
#include <string>
#include <vector>

namespace corvale {

// `args` excludes the program name; `interactive` says whether standard input
// is a terminal (questions are then asked there). Returns the exit status.
int run_cli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err, bool interactive = false);

}  // namespace corvale
