#include "model/edit_rules.h"

#include <optional>

#include "corvale/text_ids.h"
#include "platform/prompter.h"
#include "platform/string_table.h"

namespace corvale {

Edit_start begin_edit(const Download_list& list, const std::vector<std::int32_t>& numbers) {
    Edit_start start;
    if (numbers.empty()) {
        start.refusal = texts::select_to_edit;
        return start;
    }
    const Download_record* first = list.find(numbers.front());
    if (first == nullptr) {
        return start;
    }
    start.several = numbers.size() > 1;
    if (!start.several && first->dlg_ptr != nullptr) {
        start.refusal = texts::running_not_editable;
        return start;
    }
    start.open = true;
    start.shown = {first->url, first->folder, first->file_name, first->description};
    return start;
}

void apply_edit(Download_list& list, List_view& view, const std::vector<std::int32_t>& numbers,
                const Edit_start& start, const Download_fields& edited) {
    const bool several = start.several;
    const auto changed = [several](const std::wstring& before, const std::wstring& after) {
        return several && before == after ? std::nullopt : std::optional<std::wstring>(after);
    };
    const auto only_one = [several](const std::wstring& after) {
        return several ? std::nullopt : std::optional<std::wstring>(after);
    };
    for (const std::int32_t number : numbers) {
        Download_record* record = list.find(number);
        if (record == nullptr) {
            continue;
        }
        if (record->dlg_ptr != nullptr) {
            list.prompter().show_message(load_string(texts::running_not_editable));
            continue;
        }
        list.edit_download(*record, view, changed(start.shown.description, edited.description),
                           changed(start.shown.folder, edited.folder), only_one(edited.file_name),
                           only_one(edited.url));
    }
}

bool add_checked_download(Download_list& list, List_view& view, const Download_fields& fields) {
    if (!valid_file_name(fields.file_name)) {
        list.prompter().show_message(load_string(texts::invalid_file_name) + L"\n" + fields.url);
        return false;
    }
    return list.add_download_with_check(fields.folder, fields.url, fields.file_name,
                                        fields.description, view);
}

}  // namespace corvale
