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
        case UM_WAIT_CAPPED:
            return "UM_WAIT_CAPPED";
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

namespace {

// Which error types end what: the sender's thread (the others lead to its
// next attempt), and the download as its progress window sees it (a cancel
// and an invalid link leave the window running until the user closes it;
// types 12 and 13 are never posted but would end it).
struct Type_end {
    Notification_type type;
    bool ends_worker;
    bool ends_download;
};
constexpr Type_end k_type_ends[] = {
    {NT_SESSION_OPEN_FAILED, true, true},  {NT_STATUS_CALLBACK_FAILED, true, true},
    {NT_ATTEMPTS_USED_UP, true, true},     {NT_WRITE_FAILED, true, true},
    {NT_URL_INCORRECT, true, true},        {NT_RESERVED_12, false, true},
    {NT_RESERVED_13, false, true},         {NT_CANCELLED, true, false},
    {NT_LINK_SYNTAX_INVALID, true, false},
};

const Type_end* end_of(std::int64_t type) {
    for (const Type_end& end : k_type_ends) {
        if (end.type == type) {
            return &end;
        }
    }
    return nullptr;
}

}  // namespace

bool error_ends_worker(std::int64_t type) {
    const Type_end* end = end_of(type);
    return end != nullptr && end->ends_worker;
}

bool error_ends_download(std::int64_t type) {
    const Type_end* end = end_of(type);
    return end != nullptr && end->ends_download;
}

}  // namespace corvale
