#include "model/download_list.h"

#include <unordered_map>

#include "corvale/text_ids.h"
#include "model/progress_window.h"
#include "model/row_texts.h"
#include "platform/prompter.h"
#include "platform/string_table.h"

namespace corvale {

namespace {

// Diagnostics of the list that are not translated.
constexpr const wchar_t* k_no_such_download = L"can not find file id to set dlg_ptr";
constexpr const wchar_t* k_no_progress_window =
    L"update_download_dlg_info called before initializing dlg_ptr";

struct Duplicate_messages {
    int url_taken;         // a question
    int name_taken;        // a message
    int both_same_record;  // a message
    int both_different;    // a message
};
constexpr Duplicate_messages k_adding_messages{texts::add_url_taken, texts::add_name_taken,
                                               texts::add_same_download,
                                               texts::add_name_and_url_taken};
constexpr Duplicate_messages k_merging_messages{texts::merge_url_taken, texts::merge_name_taken,
                                                texts::merge_same_download,
                                                texts::merge_name_and_url_taken};

// The largest stored display number a loaded record keeps: what the list
// file's number line has always held. It also bounds how far a list file can
// make the lookup by number grow.
constexpr std::int64_t k_largest_kept_display = 65535;

std::uint32_t display_number_of(std::int32_t download_number) {
    return static_cast<std::uint32_t>(download_number) + 1;
}

}  // namespace

std::wstring message_prefix(const std::wstring& folder, const std::wstring& file_name,
                            const std::wstring& url) {
    return embed_data(folder + L"/" + file_name) + L"\n" + embed_data(url) + L"\n\n";
}

Download_list::Download_list(Prompter& prompter, Profile& profile, Clock clock)
    : prompter_(prompter), profile_(profile), clock_(std::move(clock)) {
    if (!clock_) {
        clock_ = [] { return std::time(nullptr); };
    }
}

void Download_list::add_download(const std::wstring& file_name, const std::wstring& description,
                                 List_view& view, const std::wstring& url,
                                 const std::wstring& folder) {
    Download_record record;
    record.url = url;
    record.file_name = file_name;
    record.description = description;
    record.folder = folder;
    record.download_number = take_next_number();
    record.display_number = display_number_of(record.download_number);
    record.added_at = time_stamp(clock_());
    Download_record& added = append(std::move(record));
    fill_row(added, view, view.row_count());
    modified_ = true;
}

bool Download_list::add_download_with_check(const std::wstring& folder, const std::wstring& url,
                                            const std::wstring& file_name,
                                            const std::wstring& description, List_view& view) {
    if (!confirm_addition(folder, url, file_name, Add_mode::adding)) {
        return false;
    }
    add_download(file_name, description, view, url, folder);
    return true;
}

bool Download_list::confirm_addition(const std::wstring& folder, const std::wstring& url,
                                     const std::wstring& file_name, Add_mode mode) {
    const Duplicate_result found = duplicates_.check(url, file_name, folder);
    if (found.name_free && found.url_free) {
        return true;
    }
    const Duplicate_messages& ids =
        mode == Add_mode::adding ? k_adding_messages : k_merging_messages;
    const std::wstring prefix = message_prefix(folder, file_name, url);
    if (found.name_free) {
        return prompter_.ask_yes_no(prefix + load_string(ids.url_taken));
    }
    const int message = found.url_free      ? ids.name_taken
                        : found.same_record ? ids.both_same_record
                                            : ids.both_different;
    prompter_.show_message(prefix + load_string(message));
    return false;
}

void Download_list::edit_download(Download_record& record, List_view& view,
                                  const std::optional<std::wstring>& description,
                                  const std::optional<std::wstring>& folder,
                                  const std::optional<std::wstring>& file_name,
                                  const std::optional<std::wstring>& url) {
    duplicates_.remove(record);
    const struct {
        const std::optional<std::wstring>& value;
        std::wstring& field;
        int column;
    } edits[] = {
        {description, record.description, col_description},
        {folder, record.folder, col_save_in},
        {file_name, record.file_name, col_file_name},
        {url, record.url, col_url},
    };
    for (const auto& edit : edits) {
        if (edit.value) {
            edit.field = *edit.value;
            view.set_text(record.list_row, edit.column, edit.field);
        }
    }
    if (file_name) {
        // A name that failed the file-name rule may pass now, or the other way.
        view.set_text(record.list_row, col_status, status_column_text(record));
    }
    duplicates_.add(record);
    modified_ = true;
}

void Download_list::set_progress_window(std::int32_t download_number, Progress_window* window) {
    Download_record* record = find(download_number);
    if (record == nullptr) {
        prompter_.show_message(k_no_such_download);
        return;
    }
    record->dlg_ptr = window;
}

void Download_list::update_download_dlg_info(std::int32_t download_number) {
    const Download_record* record = find(download_number);
    if (record != nullptr && record->dlg_ptr == nullptr) {
        prompter_.show_message(k_no_progress_window);
    }
    if (record == nullptr || record->dlg_ptr == nullptr) {
        prompter_.show_message(k_no_such_download);
        return;
    }
    const std::wstring size =
        record->info_known ? std::to_wstring(record->file_size) : std::wstring(L"???");
    record->dlg_ptr->set_download_info(record->url, record->folder, record->file_name, size,
                                       resume_text(*record));
}

Download_record* Download_list::find(std::int32_t download_number) {
    if (download_number < 0 || static_cast<std::size_t>(download_number) >= by_number_.size()) {
        return nullptr;
    }
    return by_number_[static_cast<std::size_t>(download_number)];
}

const Download_record* Download_list::find(std::int32_t download_number) const {
    return const_cast<Download_list*>(this)->find(download_number);
}

void Download_list::fill_rows(List_view& view) {
    int row = 0;
    for (Download_record& record : records_) {
        fill_row(record, view, row++);
    }
}

void Download_list::fill_missing_rows(List_view& view) {
    // The rows the view holds now, by download number: a record's list_row
    // alone could be stale.
    std::unordered_map<std::int32_t, int> row_of;
    for (int row = 0; row < view.row_count(); ++row) {
        row_of.emplace(view.item_data(row), row);
    }
    int next = 0;      // where the next missing row goes
    int inserted = 0;  // rows inserted so far, each moving the rows after it
    for (Download_record& record : records_) {
        const auto shown = row_of.find(record.download_number);
        if (shown != row_of.end()) {
            next = shown->second + inserted + 1;
        } else {
            fill_row(record, view, next++);
            ++inserted;
        }
    }
    if (inserted > 0) {
        renumber_rows(view);
    }
}

void Download_list::fill_row(Download_record& record, List_view& view, int row) {
    view.insert_row(row, row_texts(record), record.download_number);
    record.list_row = row;
}

void Download_list::remove_marked(List_view& view) {
    std::vector<int> rows;
    for (auto it = records_.begin(); it != records_.end();) {
        if (!it->marked_for_deletion) {
            ++it;
            continue;
        }
        rows.push_back(it->list_row);
        duplicates_.remove(*it);
        by_number_[static_cast<std::size_t>(it->download_number)] = nullptr;
        it = records_.erase(it);
        modified_ = true;
    }
    for (std::size_t j = 0; j < rows.size(); ++j) {
        view.delete_row(rows[j] - static_cast<int>(j));
    }
    renumber_rows(view);
}

void Download_list::renumber_rows(List_view& view) {
    for (int row = 0; row < view.row_count(); ++row) {
        if (Download_record* record = find(view.item_data(row))) {
            record->list_row = row;
        }
    }
}

int Download_list::count_running() const {
    int running = 0;
    for (const Download_record& record : records_) {
        running += record.dlg_ptr != nullptr && record.running ? 1 : 0;
    }
    return running;
}

void Download_list::clear() {
    for (const Download_record& record : records_) {
        by_number_[static_cast<std::size_t>(record.download_number)] = nullptr;
    }
    records_.clear();
    duplicates_.clear();
}

std::int32_t Download_list::take_loaded_number(std::int64_t stored_display) {
    if (stored_display <= k_largest_kept_display && stored_display - 1 > last_download_number_) {
        last_download_number_ = static_cast<std::int32_t>(stored_display - 1);
        return last_download_number_;
    }
    return take_next_number();
}

Download_record& Download_list::append_loaded(Download_record record) {
    record.display_number = display_number_of(record.download_number);
    record.dlg_ptr = nullptr;
    record.running = false;
    record.marked_for_deletion = false;
    record.last_error_text.clear();
    return append(std::move(record));
}

Download_record& Download_list::append(Download_record record) {
    Download_record& added = records_.emplace_back(std::move(record));
    const auto slot = static_cast<std::size_t>(added.download_number);
    if (by_number_.size() <= slot) {
        by_number_.resize(slot + 1, nullptr);
    }
    by_number_[slot] = &added;
    duplicates_.add(added);
    return added;
}

void Download_list::load_column_titles() {
    column_titles_.clear();
    for (int column = 0; column < k_column_count; ++column) {
        column_titles_[column] = load_string(column_title_id(column));
    }
}

}  // namespace corvale
