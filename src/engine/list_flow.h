#pragma once

// The list file commands of the main window without the window: saving with
// its way out to another name, merging, and replacing the list with its
// questions. The window chooses files and redraws; everything it decides is
// here, driven through the list's prompter.

#include <functional>
#include <optional>
#include <string>

#include "engine/download_control.h"
#include "model/download_list.h"
#include "model/list_view.h"

namespace corvale {

// What the flow needs of the window.
class List_flow_host {
  public:
    virtual ~List_flow_host() = default;
    // The file chooser for a load, merge or save (texts:: title); none when
    // the user cancelled.
    virtual std::optional<std::wstring> choose_list_file(int title, bool saving) = 0;
    // The list's path or its modified state changed.
    virtual void list_file_changed() = 0;
};

// Save: into the list's path; Save As when it has none or is read-only. A
// file that another program holds, or that may not be replaced, offers Save
// As (save_elsewhere). False when the list was not saved.
bool save_list_command(Download_list& list, List_flow_host& host);
// Save As: a chosen file; false when cancelled or not saved.
bool save_list_as_command(Download_list& list, List_flow_host& host);

// Merge: a chosen file's records join the list and get rows. A cancelled
// choice or a failed read changes nothing.
void merge_list_command(Download_list& list, List_view& view, List_flow_host& host);

// Replaces the list with the file `choose` gives. A modified list is offered
// to be saved first (confirm_save_list), and a list that was not saved is not
// given up. The file is read before anything stops: one that cannot be read
// (or that another program holds, unless the user opens it read-only) keeps
// the list and every download. Then the queue is cancelled, every download
// stopped, and the rows show the new list. True when the list was replaced.
bool replace_list(Download_list& list, List_view& view, Download_control& control,
                  List_flow_host& host, const std::function<std::optional<std::wstring>()>& choose);

}  // namespace corvale
