#pragma once

// Command identifiers of the main window's menus, toolbar and context menu.

namespace corvale {

enum Command_id : int {
    cmd_about = 16,
    cmd_download = 32779,
    cmd_add_to_auto = 32781,
    cmd_remove_from_auto = 32784,
    cmd_edit = 32785,
    cmd_delete = 32787,
    cmd_links_grabber = 32788,
    cmd_exit = 32794,
    cmd_help = 32797,
    cmd_add_download = 32799,
    cmd_stop = 32812,
    cmd_save_list = 32823,
    cmd_load_list = 32824,
    cmd_save_list_as = 32826,
    cmd_check_updates_menu = 32833,
    cmd_open_folder = 32835,
    cmd_open_link = 32837,
    cmd_arabic = 32840,
    cmd_english = 32841,
    cmd_check_updates = 32842,
    cmd_help_button = 32843,
    cmd_scheduler = 32844,
    cmd_speed_limit = 32845,
    cmd_limit_speed = 32846,
    cmd_preferences = 32847,
    cmd_open_file = 32848,
};

}  // namespace corvale
