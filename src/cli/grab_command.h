#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace corvale {

// corvale-cli grab [--paste] -
int run_grab(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
             std::ostream& err);

}  // namespace corvale
