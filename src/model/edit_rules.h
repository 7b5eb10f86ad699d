#pragma once

// The rules of editing rows and of adding links that come from elsewhere,
// without the dialogs: which rows an edit takes, what it shows first, which
// fields it gives to which record, and the name check before an add. The
// windows only run the dialog between begin_edit and apply_edit.

#include <cstdint>
#include <string>
#include <vector>

#include "model/download_fields.h"
#include "model/download_list.h"
#include "model/list_view.h"

namespace corvale {

// What an edit of the selected downloads starts with.
struct Edit_start {
    bool open = false;     // the dialog opens with `shown`
    int refusal = 0;       // otherwise the text shown instead (0: nothing)
    bool several = false;  // several rows: link and file name are locked
    // The first row's fields: the dialog's start, and what "unchanged" means.
    Download_fields shown;
};

// Nothing selected is refused with select_to_edit; one row whose download
// runs with running_not_editable. Several rows open even when some of them
// run: those are skipped when the edit is applied.
Edit_start begin_edit(const Download_list& list, const std::vector<std::int32_t>& numbers);

// Gives the dialog's fields to each download still in the list, looked up
// again by number since the dialog was open. One that runs now is refused
// with running_not_editable (through the list's prompter) and left alone.
// With several rows only the folder and description are given, and only
// when the user changed them from the first row's; one row takes all four.
void apply_edit(Download_list& list, List_view& view, const std::vector<std::int32_t>& numbers,
                const Edit_start& start, const Download_fields& edited);

// Adds a link that the user did not type (the links grabber's): a file name
// that cannot be one is refused with invalid_file_name and the link; the
// others go through the duplicate rules. True when it was added.
bool add_checked_download(Download_list& list, List_view& view, const Download_fields& fields);

}  // namespace corvale
