#pragma once

// The kinds of notification between workers and windows (Notification::kind),
// and the notification types carried by UM_ERROR. The kinds keep the numbers
// they have always had: receivers and stored traces rely on them.

#include <cstdint>
#include <string_view>

namespace corvale {

// The first number of the kinds.
inline constexpr std::uint32_t k_kind_base = 0x8000;

// Worker notifications: the sender is the worker's identifier (download
// number, or the links grabber's -1 / row), the value a number as noted.
enum Worker_message : std::uint32_t {
    UM_PROGRESS = k_kind_base + 100,        // progress block changed; value 0
    UM_FINISHED = k_kind_base + 101,        // transfer ended successfully; value 0
    UM_ERROR = k_kind_base + 102,           // a step failed; value = Notification_type
    UM_STATUS = k_kind_base + 103,          // status text changed; value 0
    UM_CONTENT_LENGTH = k_kind_base + 104,  // value = Content-Length of the reply being read
    UM_RETRY_COUNT = k_kind_base + 105,     // an attempt begins; value = index from 0
    UM_WAIT = k_kind_base + 106,            // a second of a wait begins; value = seconds left
    UM_FILE_SIZE = k_kind_base + 107,       // value = size of the file itself
    UM_ESTIMATED_SIZE = k_kind_base + 108,  // value = estimated size (no worker posts it)
    UM_RETRY_WAIT = k_kind_base + 109,      // a second of the fetcher's pause; value = seconds left
    UM_LAST_ERROR = k_kind_base + 110,      // last-error text changed; value 0
    // The host asked for a wait of more than a day, which is cut to a day;
    // value = the seconds asked for. Windows ignore it; traces show it.
    UM_WAIT_CAPPED = k_kind_base + 111,
};

// Messages of the main window.
enum Main_window_message : std::uint32_t {
    UM_START_DOWNLOAD = k_kind_base + 1000,
    UM_DOWNLOAD_WINDOW_CLOSED = k_kind_base + 1001,
    UM_CANCEL_AUTO_DOWNLOAD = k_kind_base + 1003,
    UM_OPEN_LINKS_GRABBER = k_kind_base + 1004,
    UM_LINKS_GRABBER_CLOSED = k_kind_base + 1005,
    UM_ADD_GRABBED_LINKS = k_kind_base + 1006,
    UM_OPEN_UPDATE_CHECK = k_kind_base + 1007,
    UM_UPDATE_CHECK_CLOSED = k_kind_base + 1008,
};

// The value of UM_ERROR: which step failed. Types 12, 13 and 16 are never posted.
enum Notification_type : std::int32_t {
    NT_SESSION_OPEN_FAILED = 1,
    NT_STATUS_CALLBACK_FAILED = 2,
    NT_ATTEMPTS_USED_UP = 3,
    NT_CONNECT_FAILED = 4,
    NT_OPEN_REQUEST_FAILED = 5,
    NT_SEND_REQUEST_FAILED = 6,
    NT_STATUS_QUERY_FAILED = 7,
    NT_HTTP_STATUS_NOT_OK = 8,
    NT_READ_FAILED = 9,
    NT_WRITE_FAILED = 10,
    NT_URL_INCORRECT = 11,
    NT_RESERVED_12 = 12,
    NT_RESERVED_13 = 13,
    NT_CANCELLED = 14,
    NT_NO_DIRECT_LINK = 15,
    NT_RESERVED_16 = 16,
    NT_LINK_SYNTAX_INVALID = 17,
};

// "UM_WAIT" for UM_WAIT and so on; empty for a number that is no notification.
std::string_view message_name(std::uint32_t message);

// The text id of the message that the sender puts into its status text for a
// notification type; 0 for the types that are never posted. Type 3 differs by
// sender: the download worker says retries_exceeded, the page fetcher
// download_error.
enum class Sender { download_worker, page_fetcher };
int message_for_type(Notification_type type, Sender sender);

// Whether an UM_ERROR of this type ends the sender's thread (the others
// lead to its next attempt).
bool error_ends_worker(std::int64_t type);

// Whether a progress window takes an UM_ERROR of this type as the end of its
// download (a cancel and an invalid link leave it running until the user
// closes it).
bool error_ends_download(std::int64_t type);

}  // namespace corvale
