#include "cli/list_commands.h"

#include <filesystem>
#include <iostream>
#include <optional>
#include <system_error>

#include "cli/arguments.h"
#include "cli/terminal_prompter.h"
#include "cli/terminal_text.h"
#include "corvale/text_ids.h"
#include "model/download_fields.h"
#include "model/list_file.h"
#include "platform/file_io.h"
#include "platform/profile.h"
#include "platform/string_table.h"
#include "platform/wide_text.h"

namespace corvale {

namespace {

// Exit statuses: 0 done, 1 nothing added (a duplicate, or No), 2 failure.
constexpr int k_not_added = 1;
constexpr int k_failed = 2;

Terminal_prompter::Given answer_of(const Arguments& args) {
    if (args.has("--yes")) {
        return Terminal_prompter::Given::yes;
    }
    return args.has("--no") ? Terminal_prompter::Given::no : Terminal_prompter::Given::ask;
}

void report(const Settings_file_error& error, std::ostream& err) {
    err << encode_utf8(error.message()) << std::endl;
}

bool usage_error(const Arguments& args, std::size_t positional, const char* usage,
                 std::ostream& err) {
    std::string problem = args.error;
    if (problem.empty() && args.positional.size() != positional) {
        problem = "wrong number of arguments";
    }
    if (problem.empty() && args.has("--yes") && args.has("--no")) {
        problem = "--yes and --no exclude each other";
    }
    if (problem.empty()) {
        return false;
    }
    err << "corvale-cli: " << problem << "\nusage: " << usage << '\n';
    return true;
}

// Loads `path` into the list and holds its lock until the command ends; a
// file that does not exist is an empty list (saving creates it, locked, and
// fails if another program created it meanwhile). A file that is not a list
// (another program's), or a list that another program holds, is refused, so
// that saving the list never writes over it.
bool load_existing(Download_list& list, const std::wstring& path, std::ostream& err) {
    std::error_code ignored;
    if (!std::filesystem::exists(to_path(path), ignored)) {
        return true;
    }
    try {
        load_list(list, path, false);
        return true;
    } catch (const Settings_file_error& error) {
        report(error, err);
        return false;
    }
}

// The folder a record keeps. The desktop's Browse always gives an absolute
// folder; a relative --folder is taken against the working folder now, so
// that the list names the same folder whichever folder it is used from
// later. An empty one names none: no value.
std::optional<std::wstring> absolute_folder(const std::string& folder) {
    std::error_code error;
    const std::filesystem::path absolute =
        folder.empty() ? std::filesystem::path() : std::filesystem::absolute(folder, error);
    if (absolute.empty() || error) {
        return std::nullopt;
    }
    return from_path(absolute);
}

}  // namespace

bool save_cli_list(Download_list& list, const std::wstring& path, std::ostream& err) {
    if (save_list(list, path)) {
        return true;
    }
    err << "corvale-cli: the list was not saved to " << encode_utf8(path) << std::endl;
    return false;
}

int run_list(const std::vector<std::string>& raw, Cli_streams io) {
    const Arguments args = parse_arguments(raw, {}, {});
    if (usage_error(args, 1, "corvale-cli list FILE", io.err)) {
        return k_failed;
    }
    Cli_list cli(io, Terminal_prompter::Given::no);
    try {
        // Only read: a list that another program holds is printed too.
        load_list(cli.list, decode_native(args.positional[0]), false, List_access::read_only);
    } catch (const Settings_file_error& error) {
        report(error, io.err);
        return k_failed;
    }
    std::string printed;
    int position = 0;
    for (const Download_record& record : cli.list.records()) {
        const auto lines = record_lines(record, ++position);
        printed += std::to_string(record.download_number);
        for (std::size_t i = 1; i < lines.size(); ++i) {
            printed += '\t';
            printed += terminal_text(lines[i]);
        }
        printed += '\n';
    }
    io.out << printed << std::flush;
    return io.out ? 0 : k_failed;
}

int run_add(const std::vector<std::string>& raw, Cli_streams io) {
    const char* usage =
        "corvale-cli add FILE --url URL --folder DIR --name NAME [--description TEXT] "
        "[--yes|--no]";
    const Arguments args =
        parse_arguments(raw, {"--url", "--folder", "--name", "--description"}, {"--yes", "--no"});
    if (usage_error(args, 1, usage, io.err)) {
        return k_failed;
    }
    const auto url = args.value("--url");
    const auto folder = args.value("--folder");
    const auto name = args.value("--name");
    if (!url || !folder || !name) {
        io.err << "corvale-cli: --url, --folder and --name are needed\nusage: " << usage << '\n';
        return k_failed;
    }
    // Refused before the list is touched: nothing is saved.
    const std::wstring file_name = decode_native(*name);
    if (!valid_file_name(file_name)) {
        io.err << encode_utf8(load_string(texts::invalid_file_name)) << '\n';
        return k_failed;
    }
    const auto stored_folder = absolute_folder(*folder);
    if (!stored_folder) {
        io.err << encode_utf8(load_string(texts::invalid_folder)) << '\n';
        return k_failed;
    }
    Cli_list cli(io, answer_of(args));
    const std::wstring path = decode_native(args.positional[0]);
    if (!load_existing(cli.list, path, io.err)) {
        return k_failed;
    }
    const bool added = cli.list.add_download_with_check(
        *stored_folder, decode_ansi(*url), file_name,
        decode_ansi(args.value("--description").value_or("")), cli.view);
    if (!added) {
        return k_not_added;
    }
    return save_cli_list(cli.list, path, io.err) ? 0 : k_failed;
}

int run_merge(const std::vector<std::string>& raw, Cli_streams io) {
    const Arguments args = parse_arguments(raw, {}, {"--yes", "--no"});
    if (usage_error(args, 2, "corvale-cli merge FILE OTHER [--yes|--no]", io.err)) {
        return k_failed;
    }
    Cli_list cli(io, answer_of(args));
    const std::wstring path = decode_native(args.positional[0]);
    if (!load_existing(cli.list, path, io.err)) {
        return k_failed;
    }
    try {
        load_list(cli.list, decode_native(args.positional[1]), true);
    } catch (const Settings_file_error& error) {
        report(error, io.err);
        return k_failed;
    }
    cli.list.fill_missing_rows(cli.view);
    return save_cli_list(cli.list, path, io.err) ? 0 : k_failed;
}

}  // namespace corvale
