#include "engine/notifications.h"

#include "corvale/text_ids.h"

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
            return texts::download_start_error;
        case NT_ATTEMPTS_USED_UP:
            return sender == Sender::download_worker ? texts::retries_exceeded
                                                     : texts::download_error;
        case NT_CONNECT_FAILED:
        case NT_OPEN_REQUEST_FAILED:
        case NT_SEND_REQUEST_FAILED:
            return texts::connect_error;
        case NT_STATUS_QUERY_FAILED:
            return texts::no_valid_response;
        case NT_HTTP_STATUS_NOT_OK:
            return texts::no_valid_http_response;
        case NT_READ_FAILED:
        case NT_WRITE_FAILED:
            return texts::download_error;
        case NT_URL_INCORRECT:
            return texts::url_incorrect;
        case NT_CANCELLED:
            return texts::download_canceled;
        case NT_NO_DIRECT_LINK:
            return texts::no_direct_link;
        case NT_LINK_SYNTAX_INVALID:
            return texts::link_syntax_invalid;
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
