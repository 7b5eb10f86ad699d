#include "engine/list_flow.h"

#include "corvale/text_ids.h"
#include "model/list_file.h"
#include "platform/prompter.h"
#include "platform/string_table.h"
#include "platform/wide_text.h"

namespace corvale {

namespace {

// Reads a list file that is to replace the list: a list another program holds
// is read read-only when the user agrees; a failure is said. No value: the
// list stays as it is.
std::optional<List_file> read_new_list(const Download_list& list, Prompter& prompter,
                                       const std::wstring& path) {
    try {
        return read_list_file(list, path, false);
    } catch (const List_in_use&) {
        if (!prompter.ask_yes_no(format_message(texts::open_read_only, {embed_data(path)}))) {
            return std::nullopt;
        }
    } catch (const Settings_file_error& error) {
        prompter.show_message(error.message());
        return std::nullopt;
    }
    try {
        return read_list_file(list, path, false, List_access::read_only);
    } catch (const Settings_file_error& error) {
        prompter.show_message(error.message());
    }
    return std::nullopt;
}

}  // namespace

bool save_list_command(Download_list& list, List_flow_host& host) {
    if (list.list_path().empty() || list.read_only()) {
        return save_list_as_command(list, host);
    }
    Save_failure failure = Save_failure::none;
    if (!save_list(list, list.list_path(), &failure)) {
        const bool elsewhere =
            failure == Save_failure::not_replaceable || failure == Save_failure::in_use;
        if (elsewhere && list.prompter().ask_yes_no(load_string(texts::save_elsewhere))) {
            return save_list_as_command(list, host);
        }
        return false;
    }
    host.list_file_changed();
    return true;
}

bool save_list_as_command(Download_list& list, List_flow_host& host) {
    const auto path = host.choose_list_file(texts::save_list_as_title, true);
    if (!path || !save_list(list, *path)) {
        return false;
    }
    host.list_file_changed();
    return true;
}

void merge_list_command(Download_list& list, List_view& view, List_flow_host& host) {
    const auto path = host.choose_list_file(texts::merge_list_title, false);
    if (!path) {
        return;  // nothing changes: the list keeps its path and title
    }
    try {
        load_list(list, *path, true);
    } catch (const Settings_file_error& error) {
        list.prompter().show_message(error.message());
        return;
    }
    list.fill_missing_rows(view);
    host.list_file_changed();
}

bool replace_list(Download_list& list, List_view& view, Download_control& control,
                  List_flow_host& host,
                  const std::function<std::optional<std::wstring>()>& choose) {
    Prompter& prompter = list.prompter();
    if (list.modified() && prompter.ask_yes_no(load_string(texts::confirm_save_list))) {
        if (!save_list_command(list, host)) {
            return false;  // the list was not saved, so it is not given up
        }
    }
    // A cancelled choice leaves the list, its path, its title and its
    // downloads as they were.
    const auto path = choose();
    if (!path) {
        return false;
    }
    std::optional<List_file> read = read_new_list(list, prompter, *path);
    if (!read) {
        return false;
    }
    if (control.automatic_active()) {
        control.cancel_automatic();
    }
    control.stop_all();
    for (int row = view.row_count(); row-- > 0;) {
        view.delete_row(row);
    }
    apply_list_file(list, std::move(*read));
    list.fill_rows(view);
    host.list_file_changed();
    return true;
}

}  // namespace corvale
