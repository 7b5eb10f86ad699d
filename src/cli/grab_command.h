#pragma once

#include <string>
#include <vector>

#include "cli/list_commands.h"

namespace corvale {

// corvale-cli grab [--paste] -
int run_grab(const std::vector<std::string>& args, Cli_streams io);

}  // namespace corvale
