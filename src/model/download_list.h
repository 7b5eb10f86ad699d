#pragma once

// The program's one list of downloads. Only the GUI thread (or the CLI's main
// thread) touches it; workers reach it through notifications.

#include <cstdint>
#include <ctime>
#include <functional>
#include <list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model/download_record.h"
#include "model/duplicate_check.h"
#include "model/list_view.h"
#include "platform/file_lock.h"

namespace corvale {

class Prompter;
class Profile;
class Progress_window;

// Whether a record is being added by the user or merged from a list file:
// the two ask and refuse with texts of their own.
enum class Add_mode { adding, merging };

class Download_list {
  public:
    using Clock = std::function<std::time_t()>;

    Download_list(Prompter& prompter, Profile& profile, Clock clock = {});

    // Appends a record without any duplicate check and fills its row at the end.
    void add_download(const std::wstring& file_name, const std::wstring& description,
                      List_view& view, const std::wstring& url, const std::wstring& folder);

    // The duplicate rules, then add_download; true when the record was added.
    bool add_download_with_check(const std::wstring& folder, const std::wstring& url,
                                 const std::wstring& file_name, const std::wstring& description,
                                 List_view& view);

    // Asks or tells the user about a duplicate as `mode` says; true when the
    // record may be added.
    bool confirm_addition(const std::wstring& folder, const std::wstring& url,
                          const std::wstring& file_name, Add_mode mode);

    // Sets each given text (description, folder, file name, link), updates the
    // row, and marks the list modified even when nothing was given.
    void edit_download(Download_record& record, List_view& view,
                       const std::optional<std::wstring>& description,
                       const std::optional<std::wstring>& folder,
                       const std::optional<std::wstring>& file_name,
                       const std::optional<std::wstring>& url);

    void set_progress_window(std::int32_t download_number, Progress_window* window);
    void update_download_dlg_info(std::int32_t download_number);

    // nullptr for a number never given out or whose record was removed.
    Download_record* find(std::int32_t download_number);
    const Download_record* find(std::int32_t download_number) const;

    void fill_rows(List_view& view);
    // Gives every record that has no row in `view` one, at its place in list
    // order: after a merge, the merged records' rows at the end. However the
    // merge went (its last record skipped, the list's last record deleted
    // before), the view then shows every record.
    void fill_missing_rows(List_view& view);
    void fill_row(Download_record& record, List_view& view, int row);

    // Removes the records marked for deletion and their rows, then gives the
    // records left their new row indices; the numbers the rows show stay
    // each record's own.
    void remove_marked(List_view& view);
    int count_running() const;
    void clear();

    // Appends a record read from a list file, whose download number the reader
    // took with take_loaded_number(); its display number becomes that plus 1.
    Download_record& append_loaded(Download_record record);
    std::int32_t take_next_number() { return ++last_download_number_; }
    // The download number of a record read from a list file whose line holds
    // `stored_display`: the number that display number stands for, when that
    // is above every number given out so far, so that a record keeps its
    // number across runs; otherwise the next number. Either way numbers stay
    // unique and increasing.
    std::int32_t take_loaded_number(std::int64_t stored_display);
    std::int32_t last_download_number() const { return last_download_number_; }

    const std::list<Download_record>& records() const { return records_; }
    std::list<Download_record>& records() { return records_; }

    bool modified() const { return modified_; }
    void set_modified(bool modified) { modified_ = modified; }
    const std::wstring& list_path() const { return list_path_; }
    void set_list_path(const std::wstring& path) { list_path_ = path; }

    // The list file's lock, held from the list's load to its last save, so
    // that no other program saves over it meanwhile. Taking another file's
    // lock (a save under a new name, loading another list) lets the old go.
    const File_lock& file_lock() const { return file_lock_; }
    void hold_file(File_lock lock) {
        file_lock_ = std::move(lock);
        read_only_ = false;
    }
    // A list loaded while another program held its file: nothing is locked,
    // and it is saved only under another name.
    bool read_only() const { return read_only_; }
    void hold_read_only() {
        file_lock_.release();
        read_only_ = true;
    }

    // Column k's title is column_title_id(k) in the current language.
    void load_column_titles();
    const std::map<int, std::wstring>& column_titles() const { return column_titles_; }

    Prompter& prompter() { return prompter_; }
    Profile& profile() { return profile_; }

  private:
    Download_record& append(Download_record record);
    void renumber_rows(List_view& view);

    Prompter& prompter_;
    Profile& profile_;
    Clock clock_;
    std::list<Download_record> records_;
    std::map<int, std::wstring> column_titles_;
    bool modified_ = false;
    std::wstring list_path_;
    File_lock file_lock_;
    bool read_only_ = false;
    std::int32_t last_download_number_ = -1;
    std::vector<Download_record*> by_number_;  // grows with the numbers given out
    Duplicate_index duplicates_;
};

// The text a duplicate message starts with: folder, separator, file name,
// line break, link, two line breaks.
std::wstring message_prefix(const std::wstring& folder, const std::wstring& file_name,
                            const std::wstring& url);

}  // namespace corvale
