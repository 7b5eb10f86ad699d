#pragma once

#include <string>
#include <vector>

#include "cli/list_commands.h"

namespace corvale {

// corvale-cli check-update [--url URL]
int run_check_update(const std::vector<std::string>& args, Cli_streams io);

}  // namespace corvale
