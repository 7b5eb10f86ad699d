#pragma once

#include <string>
#include <vector>

#include "cli/list_commands.h"
#include "engine/transfer_settings.h"

namespace corvale {

// corvale-cli queue FILE [--all | --rows LIST] [--yes] [--second-ms N]
// The automatic queue without windows: the rows are downloaded one after
// another as the main window's queue runs them, FILE saved after each.
// --second-ms changes `settings`, which the command's workers read.
int run_queue(const std::vector<std::string>& args, Cli_streams io,
              const std::shared_ptr<Transfer_settings>& settings);

}  // namespace corvale
