#include "model/list_file.h"

#include <charconv>

#include "corvale/text_ids.h"
#include "platform/file_io.h"
#include "platform/file_lock.h"
#include "platform/profile.h"
#include "platform/prompter.h"
#include "platform/string_table.h"
#include "platform/wide_text.h"

namespace corvale {

namespace {

constexpr std::string_view k_mark = "\xFF\xFE";

std::wstring flag(bool value) {
    return value ? L"1" : L"0";
}

std::wstring single_line(std::wstring text) {
    for (wchar_t& c : text) {
        if (c == L'\r' || c == L'\n') {
            c = L' ';
        }
    }
    return text;
}

// Six significant digits, the shorter of fixed and exponent notation, as a
// default-formatted output stream writes a number; independent of the locale.
std::wstring real_text(float value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                      std::chars_format::general, 6);
    return std::wstring(buffer, result.ptr);
}

// The text of the file: UTF-16LE after the mark, otherwise one character per
// byte; it ends at its first NUL.
std::wstring decode_list_text(std::string_view bytes) {
    std::wstring text;
    if (bytes.starts_with(k_mark)) {
        text = from_utf16le(bytes.substr(k_mark.size()));
    } else {
        text.assign(bytes.begin(), bytes.end());
        for (wchar_t& c : text) {
            c = static_cast<wchar_t>(static_cast<unsigned char>(c));
        }
    }
    const std::size_t nul = text.find(L'\0');
    if (nul != std::wstring::npos) {
        text.resize(nul);
    }
    return text;
}

// Cuts the text into records of sixteen lines. The header ends at the first
// CR; every further line starts two characters after the CR before it (the
// character after a CR is skipped whatever it is) and ends at the next CR.
class Record_reader {
  public:
    explicit Record_reader(std::wstring_view text) : text_(text) {}

    // False when no complete record is left.
    bool next(std::array<std::wstring_view, k_record_lines>& lines) {
        std::size_t cr = text_.find(L'\r', position_);
        if (cr == std::wstring_view::npos) {
            return false;
        }
        lines[0] = text_.substr(position_, cr - position_);
        for (int i = 1; i < k_record_lines; ++i) {
            const std::size_t start = cr + 2;
            cr = start < text_.size() ? text_.find(L'\r', start) : std::wstring_view::npos;
            if (cr == std::wstring_view::npos) {
                return false;
            }
            lines[static_cast<std::size_t>(i)] = text_.substr(start, cr - start);
        }
        position_ = cr + 2;
        return true;
    }

  private:
    std::wstring_view text_;
    std::size_t position_ = 0;
};

Download_record parse_record(const std::array<std::wstring_view, k_record_lines>& line) {
    Download_record record;
    record.info_known = parse_int(line[1]) != 0;
    record.folder = line[2];
    record.file_name = line[3];
    record.description = line[4];
    record.url = line[5];
    record.retries = parse_int(line[6]);
    record.resume_supported = parse_int(line[7]) != 0;
    record.spare_number = static_cast<std::uint16_t>(parse_int(line[8]));
    record.spare_flag = parse_int(line[9]) != 0;
    record.status_text = line[10];
    record.file_size = parse_uint64(line[11]);
    record.downloaded = parse_int64(line[12]);
    record.spare_real = static_cast<float>(parse_double(line[13]));
    // Line 15, the display number, settles the download number: see load_list.
    record.added_at = line[15];
    return record;
}

// Opens the writer, or shows why it cannot be opened.
bool open_writer(Download_list& list, Replacing_file_writer& writer, Save_failure& why) {
    int message = 0;
    switch (writer.open()) {
        case Replacing_file_writer::Open_status::ok:
            return true;
        case Replacing_file_writer::Open_status::folder_missing:
            why = Save_failure::other;
            message = texts::save_delete_failed;
            break;
        case Replacing_file_writer::Open_status::target_not_replaceable:
            why = Save_failure::not_replaceable;
            message = texts::save_delete_failed;
            break;
        case Replacing_file_writer::Open_status::cannot_create:
            why = Save_failure::other;
            message = texts::save_open_failed;
            break;
    }
    list.prompter().show_message(load_string(message));
    return false;
}

}  // namespace

List_in_use::List_in_use(const std::wstring& path)
    : Settings_file_error(format_message(texts::list_in_use, {embed_data(path)})) {}

std::array<std::wstring, k_record_lines> record_lines(const Download_record& record, int position) {
    return {
        L"----- file " + std::to_wstring(position) + L"-----",
        flag(record.info_known),
        single_line(record.folder),
        single_line(record.file_name),
        single_line(record.description),
        single_line(record.url),
        std::to_wstring(record.retries),
        flag(record.resume_supported),
        std::to_wstring(record.spare_number),
        flag(record.spare_flag),
        single_line(record.status_text),
        std::to_wstring(record.file_size),
        std::to_wstring(record.downloaded),
        real_text(record.spare_real),
        std::to_wstring(record.display_number),
        single_line(record.added_at),
    };
}

bool save_list(Download_list& list, const std::wstring& path, Save_failure* why) {
    Save_failure unused = Save_failure::none;
    Save_failure& failure = why != nullptr ? *why : unused;
    failure = Save_failure::none;
    const std::filesystem::path target = to_path(path);
    // The file being replaced stays locked until the new one is: by the
    // list's own lock, or, for another existing file, by one taken now, which
    // also keeps a file that another program has open from being saved over.
    File_lock replaced;
    if (!list.file_lock().covers(target) &&
        replaced.lock(target) == File_lock::Status::held_elsewhere) {
        failure = Save_failure::in_use;
        list.prompter().show_message(List_in_use(path).message());
        return false;
    }
    Replacing_file_writer writer(target);
    if (!open_writer(list, writer, failure)) {
        return false;
    }
    // A write that fails once the file was opened (a full disk, an I/O error)
    // says so with the system's reason; the old file is still intact.
    const auto failed = [&list, &failure](int error) {
        failure = Save_failure::other;
        list.prompter().show_message(load_string(texts::save_open_failed) + L"\n\n" +
                                     system_error_text(error));
        return false;
    };
    if (const int error = writer.write(k_mark); error != 0) {
        return failed(error);
    }
    int position = 0;
    std::wstring text;
    for (const Download_record& record : list.records()) {
        text.clear();
        for (const std::wstring& line : record_lines(record, ++position)) {
            text += line;
            text += L"\r\n";
        }
        if (const int error = writer.write(to_utf16le(text)); error != 0) {
            return failed(error);
        }
    }
    File_lock new_lock;
    if (const int error = writer.commit(&new_lock); error != 0) {
        return failed(error);
    }
    list.hold_file(std::move(new_lock));  // lets the old file's lock go
    list.set_modified(false);
    list.set_list_path(path);
    list.profile().write_string(k_settings_section, k_last_list_key, path);
    return true;
}

bool check_list_saveable(Download_list& list, const std::wstring& path) {
    Replacing_file_writer trial(to_path(path));  // never committed: removes its file
    Save_failure unused = Save_failure::none;
    return open_writer(list, trial, unused);
}

List_file read_list_file(const Download_list& list, const std::wstring& path, bool merge,
                         List_access access) {
    List_file read;
    read.path = path;
    read.merge = merge;
    read.access = access;
    // A new list's file is locked before it is read, so that no other program
    // changes it between what is read and the last save. The list's own file
    // is locked already; a merged file is only read.
    read.locking =
        !merge && access == List_access::locked && !list.file_lock().covers(to_path(path));
    if (read.locking && read.lock.lock(to_path(path)) == File_lock::Status::held_elsewhere) {
        throw List_in_use(path);
    }
    const Read_result file = read_whole_file(to_path(path), k_list_file_limit);
    if (file.status == Read_status::open_failed) {
        throw Settings_file_error(load_string(texts::list_open_failed));
    }
    if (file.status == Read_status::too_big) {
        throw Settings_file_error(load_string(texts::list_too_big));
    }
    if (file.status == Read_status::read_failed) {
        throw Settings_file_error(load_string(texts::list_corrupted));
    }
    // Every complete record is read before the list changes: a file that
    // fails, or that holds no list, leaves the list, its path and the profile
    // as they were, so that saving never writes over it.
    const std::wstring text = decode_list_text(file.bytes);
    Record_reader reader(text);
    std::array<std::wstring_view, k_record_lines> lines;
    while (reader.next(lines)) {
        read.records.emplace_back(parse_record(lines), parse_int64(lines[14]));
    }
    if (read.records.empty() && !is_empty_list_file(file.bytes)) {
        throw Settings_file_error(format_message(texts::not_a_list, {embed_data(path)}));
    }
    return read;
}

std::size_t apply_list_file(Download_list& list, List_file read) {
    if (!read.merge) {
        list.clear();
        list.profile().write_string(k_settings_section, k_last_list_key, read.path);
        list.set_list_path(read.path);
        if (read.access == List_access::read_only) {
            list.hold_read_only();
        } else if (read.locking) {
            list.hold_file(std::move(read.lock));  // a file system without locks: none
        }
    } else {
        list.set_modified(true);
    }
    for (auto& [record, stored_display] : read.records) {
        // A record keeps the number it was shown with when no record of this
        // run has it or a higher one; a skipped record has used it up too.
        record.download_number = list.take_loaded_number(stored_display);
        if (read.merge && !list.confirm_addition(record.folder, record.url, record.file_name,
                                                 Add_mode::merging)) {
            continue;
        }
        list.append_loaded(std::move(record));
    }
    return read.records.size();
}

std::size_t load_list(Download_list& list, const std::wstring& path, bool merge,
                      List_access access) {
    if (merge) {
        list.set_modified(true);
    }
    return apply_list_file(list, read_list_file(list, path, merge, access));
}

bool is_empty_list_file(std::string_view bytes) {
    return bytes.empty() || bytes == k_mark;
}

Last_list load_last_list(Download_list& list, List_view& view) {
    const std::wstring path = list.profile().read_string(k_settings_section, k_last_list_key, L"");
    if (path.empty()) {
        return {};
    }
    try {
        load_list(list, path, false);
    } catch (const List_in_use& error) {
        return {false, error.message(), true};
    } catch (const Settings_file_error& error) {
        return {false, error.message()};
    }
    list.fill_rows(view);
    return {true, std::nullopt};
}

}  // namespace corvale
