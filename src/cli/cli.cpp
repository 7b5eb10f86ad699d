#include "cli/cli.h"

#include <functional>
#include <iostream>
#include <map>
#include <string_view>

#include "cli/download_command.h"
#include "cli/grab_command.h"
#include "cli/list_commands.h"
#include "cli/queue_command.h"
#include "cli/update_command.h"
#include "corvale/version.h"
#include "platform/wide_text.h"

namespace corvale {

namespace {

constexpr std::string_view k_usage =
    "usage: corvale-cli COMMAND [OPTIONS]\n"
    "\n"
    "commands:\n"
    "  grab [--paste] -       read a page (or pasted text with --paste) from standard\n"
    "                         input and print the file host's links in it, one a line\n"
    "  grab URL [--verify] [--second-ms N]\n"
    "                         fetch the page and print its links; --verify then fetches\n"
    "                         each link's page: link, verdict, file name, size\n"
    "  download URL [--folder DIR] [--name NAME] [--yes] [--keep-partial] [--trace]\n"
    "               [--second-ms N] [--limit-rate RATE]\n"
    "                         download one file link; --yes replaces an existing file,\n"
    "                         --keep-partial keeps what Ctrl-C leaves, --trace prints\n"
    "                         every notification, --second-ms shortens the waits,\n"
    "                         --limit-rate holds the download to RATE bytes a second\n"
    "                         (K, M or G after the number: 1024-based)\n"
    "  list FILE              print the downloads of a list file, one a line\n"
    "  add FILE --url URL --folder DIR --name NAME [--description TEXT] [--yes|--no]\n"
    "                         add a download to a list file (created when missing)\n"
    "  merge FILE OTHER [--yes|--no]\n"
    "                         merge the list file OTHER into FILE\n"
    "  queue FILE [--all | --rows LIST] [--yes] [--second-ms N] [--limit-rate RATE]\n"
    "                         download the given downloads of FILE (numbers as list\n"
    "                         prints them, comma-separated) one after another, saving\n"
    "                         FILE after each; --yes replaces existing files\n"
    "  check-update [--url URL]\n"
    "                         read the maker's version file (or the one at URL) and\n"
    "                         tell whether a newer version is available\n"
    "\n"
    "add, merge and queue hold the list file (a lock) until they end; a list that\n"
    "another program holds is refused, and one the user may not write is not saved.\n"
    "Questions are answered by --yes or --no, asked on a terminal, else answered No.\n"
    "Exit status: 0 done, 1 nothing added (add) or the download/grab/check failed (or\n"
    "a queued download did not finish), 2 failure or bad arguments, 130 a queue\n"
    "stopped by Ctrl-C.\n"
    "\n"
    "options:\n"
    "  --help                 show this text\n"
    "  --version              show the program's version\n";

using Command = std::function<int(const std::vector<std::string>&, Cli_streams)>;

}  // namespace

int run_cli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err, bool interactive) {
    if (args.empty()) {
        err << k_usage;
        return 2;
    }
    const std::string& command = args.front();
    if (command == "--help" || command == "-h") {
        out << k_usage;
        return 0;
    }
    if (command == "--version") {
        out << "corvale-cli " << encode_utf8(k_file_version) << '\n';
        return 0;
    }
    // The settings the transfer commands are made with; they may change them
    // (--second-ms) before their workers start.
    const auto settings = make_transfer_settings();
    const auto with_settings = [&settings](auto run) -> Command {
        return [&settings, run](const std::vector<std::string>& rest, Cli_streams io) {
            return run(rest, io, settings);
        };
    };
    const std::map<std::string, Command> commands = {
        {"grab", with_settings(run_grab)},
        {"download", with_settings(run_download)},
        {"list", run_list},
        {"add", run_add},
        {"merge", run_merge},
        {"queue", with_settings(run_queue)},
        {"check-update", run_check_update},
    };
    const auto it = commands.find(command);
    if (it == commands.end()) {
        err << "corvale-cli: unknown command '" << command << "'\n" << k_usage;
        return 2;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    return it->second(rest, Cli_streams{in, out, err, interactive});
}

}  // namespace corvale
