#pragma once

#include <string>
#include <vector>

#include "cli/list_commands.h"
#include "engine/transfer_settings.h"

namespace corvale {

// corvale-cli grab [--paste] -
// --second-ms changes `settings`, which the command's workers read.
int run_grab(const std::vector<std::string>& args, Cli_streams io,
             const std::shared_ptr<Transfer_settings>& settings);

}  // namespace corvale
