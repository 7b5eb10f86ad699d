#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/terminal_prompter.h"
#include "model/download_list.h"
#include "model/list_view.h"
#include "platform/profile.h"

namespace corvale {

struct Cli_streams {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool interactive;  // standard input is a terminal
};

// A list as the program keeps one, without windows and without touching the
// desktop program's profile.
struct Cli_list {
    Cli_list(Cli_streams io, Terminal_prompter::Given answer)
        : prompter(io.in, io.err, answer, io.interactive), list(prompter, profile) {}

    Terminal_prompter prompter;
    Memory_profile profile;
    Download_list list;
    Memory_list_view view;
};

// Saves the list into `path`. When it was not saved, the list file's own
// message has been shown and the command says which file it was.
bool save_cli_list(Download_list& list, const std::wstring& path, std::ostream& err);

// corvale-cli list FILE
int run_list(const std::vector<std::string>& args, Cli_streams io);
// corvale-cli add FILE --url URL --folder DIR --name NAME [--description TEXT] [--yes|--no]
int run_add(const std::vector<std::string>& args, Cli_streams io);
// corvale-cli merge FILE OTHER [--yes|--no]
int run_merge(const std::vector<std::string>& args, Cli_streams io);

}  // namespace corvale
