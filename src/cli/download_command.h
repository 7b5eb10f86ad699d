#pragma once

#include <string>
#include <vector>

#include "cli/list_commands.h"

namespace corvale {

// corvale-cli download URL [--folder DIR] [--name NAME] [--yes] [--keep-partial]
//                          [--trace] [--second-ms N]
int run_download(const std::vector<std::string>& args, Cli_streams io);

}  // namespace corvale
