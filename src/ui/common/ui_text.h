#pragma once

// Texts of the windows: every label comes from the string table of the
// current language, by number.

#include <QString>
#include <string>

#include "platform/string_table.h"

namespace corvale {

// Labels of menus, windows and buttons (the string table's own keys).
enum Ui_text : int {
    txt_menu_file = 5001,
    txt_menu_edit = 5002,
    txt_menu_help = 5003,
    txt_menu_language = 5004,
    txt_load_list = 5010,
    txt_save_list = 5011,
    txt_save_list_as = 5012,
    txt_exit = 5013,
    txt_edit_downloads = 5020,
    txt_delete_downloads = 5021,
    txt_help = 5030,
    txt_check_updates = 5031,
    txt_about = 5032,
    txt_arabic = 5040,
    txt_english = 5041,
    txt_download = 5050,
    txt_add_to_auto = 5051,
    txt_remove_from_auto = 5052,
    txt_add_new_download = 5053,
    txt_open_folder = 5056,
    txt_open_link = 5057,
    txt_check_program_updates = 5058,
    txt_exit_program = 5059,
    txt_choose_action = 5060,
    txt_stop = 5070,
    txt_scheduler = 5071,
    txt_links_grabber = 5072,
    txt_about_title = 5100,
    txt_about_product = 5101,
    txt_about_maker = 5102,
    txt_about_link = 5103,
    txt_yes = 5110,
    txt_no = 5111,
    txt_cancel = 5112,
    txt_ok = 5113,
    txt_list_filter = 5120,
    txt_download_caption = 5200,
    txt_label_url = 5201,
    txt_label_saved_in = 5202,
    txt_label_downloaded = 5203,
    txt_label_file_size = 5204,
    txt_label_elapsed = 5205,
    txt_label_speed = 5206,
    txt_label_time_left = 5207,
    txt_label_resume = 5208,
    txt_label_status = 5209,
    txt_label_last_error = 5210,
    txt_label_retries = 5211,
    txt_add_title = 5300,
    txt_field_url = 5301,
    txt_field_folder = 5302,
    txt_browse = 5303,
    txt_field_file_name = 5304,
    txt_field_description = 5305,
    txt_same_as_url = 5306,
    txt_edit_title = 5307,
    txt_field_file_name_edit = 5308,
    txt_load_or_merge_title = 5309,
    txt_load_or_merge_text = 5310,
    txt_merge_with_current = 5311,
    txt_load_new_list = 5312,
    txt_schedule_title = 5320,
    txt_schedule_text = 5321,
    txt_schedule_start = 5322,
    txt_schedule_stop = 5323,
    txt_help_not_opened = 5330,
    txt_not_opened = 5331,
    txt_schedule_pending = 5332,
    txt_grabber_title = 5400,
    txt_grabber_page_url = 5401,
    txt_paste_links = 5402,
    txt_links_found = 5403,
    txt_destination_folder = 5404,
    txt_grabber_description = 5405,
    txt_verify_selected = 5406,
    txt_add_selected = 5407,
    txt_close = 5408,
    txt_grabber_status = 5409,
    txt_grabber_retries = 5410,
    txt_update_title = 5420,
    txt_check_for_updates = 5421,
    txt_update_exit = 5422,
    txt_update_status = 5423,
    txt_current_version = 5424,
    txt_latest_version = 5425,
    txt_version_date = 5426,
    txt_information = 5427,
    txt_website_link = 5428,
    txt_application_title = 57344,
};

inline QString text(int id) {
    return QString::fromStdWString(load_string(id));
}
inline QString qt(const std::wstring& text) {
    return QString::fromStdWString(text);
}

}  // namespace corvale
