#include "engine/notifications.h"

namespace corvale {

std::string_view message_name(std::uint32_t message) {
    switch (message) {
        case UM_PROGRESS:
            return "UM_PROGRESS";
        case UM_FINISHED:
            return "UM_FINISHED";
        case UM_ERROR:
            return "UM_ERROR";
        case UM_STATUS:
            return "UM_STATUS";
        case UM_CONTENT_LENGTH:
            return "UM_CONTENT_LENGTH";
        case UM_RETRY_COUNT:
            return "UM_RETRY_COUNT";
        case UM_WAIT:
            return "UM_WAIT";
        case UM_FILE_SIZE:
            return "UM_FILE_SIZE";
        case UM_ESTIMATED_SIZE:
            return "UM_ESTIMATED_SIZE";
        case UM_RETRY_WAIT:
            return "UM_RETRY_WAIT";
        case UM_LAST_ERROR:
            return "UM_LAST_ERROR";
        default:
            return {};
    }
}

int message_for_type(Notification_type type, Sender sender) {
    switch (type) {
        case NT_SESSION_OPEN_FAILED:
        case NT_STATUS_CALLBACK_FAILED:
            return 110;
        case NT_ATTEMPTS_USED_UP:
            return sender == Sender::download_worker ? 244 : 114;
        case NT_CONNECT_FAILED:
        case NT_OPEN_REQUEST_FAILED:
        case NT_SEND_REQUEST_FAILED:
            return 111;
        case NT_STATUS_QUERY_FAILED:
            return 112;
        case NT_HTTP_STATUS_NOT_OK:
            return 113;
        case NT_READ_FAILED:
        case NT_WRITE_FAILED:
            return 114;
        case NT_URL_INCORRECT:
            return 135;
        case NT_CANCELLED:
            return 124;
        case NT_NO_DIRECT_LINK:
            return 126;
        case NT_LINK_SYNTAX_INVALID:
            return 245;
        case NT_RESERVED_12:
        case NT_RESERVED_13:
        case NT_RESERVED_16:
            break;
    }
    return 0;
}

bool error_ends_worker(std::int64_t type) {
    switch (type) {
        case NT_SESSION_OPEN_FAILED:
        case NT_STATUS_CALLBACK_FAILED:
        case NT_ATTEMPTS_USED_UP:
        case NT_WRITE_FAILED:
        case NT_URL_INCORRECT:
        case NT_CANCELLED:
        case NT_LINK_SYNTAX_INVALID:
            return true;
        default:
            return false;
    }
}

bool error_ends_download(std::int64_t type) {
    switch (type) {
        case NT_SESSION_OPEN_FAILED:
        case NT_STATUS_CALLBACK_FAILED:
        case NT_ATTEMPTS_USED_UP:
        case NT_WRITE_FAILED:
        case NT_URL_INCORRECT:
        case NT_RESERVED_12:
        case NT_RESERVED_13:
            return true;
        default:
            return false;
    }
}

}  // namespace corvale
