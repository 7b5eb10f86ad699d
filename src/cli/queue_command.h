#pragma once

#include <string>
#include <vector>

#include "cli/list_commands.h"

namespace corvale {

// corvale-cli queue FILE [--all | --rows LIST] [--yes] [--second-ms N]
// The automatic queue without windows: the rows are downloaded one after
// another as the main window's queue runs them, FILE saved after each.
int run_queue(const std::vector<std::string>& args, Cli_streams io);

}  // namespace corvale
