#include "engine/notifications.h"
#include "corvale/text_ids.h"

#include <gtest/gtest.h>

namespace corvale {
namespace {

TEST(Notifications, MessageNumbersKeepTheirValues) {
    struct Row {
        std::uint32_t message;
        std::uint32_t value;
        std::string_view name;
    } rows[] = {
        {UM_PROGRESS, 0x8064, "UM_PROGRESS"},
        {UM_FINISHED, 0x8065, "UM_FINISHED"},
        {UM_ERROR, 0x8066, "UM_ERROR"},
        {UM_STATUS, 0x8067, "UM_STATUS"},
        {UM_CONTENT_LENGTH, 0x8068, "UM_CONTENT_LENGTH"},
        {UM_RETRY_COUNT, 0x8069, "UM_RETRY_COUNT"},
        {UM_WAIT, 0x806A, "UM_WAIT"},
        {UM_FILE_SIZE, 0x806B, "UM_FILE_SIZE"},
        {UM_ESTIMATED_SIZE, 0x806C, "UM_ESTIMATED_SIZE"},
        {UM_RETRY_WAIT, 0x806D, "UM_RETRY_WAIT"},
        {UM_LAST_ERROR, 0x806E, "UM_LAST_ERROR"},
        {UM_WAIT_CAPPED, 0x806F, "UM_WAIT_CAPPED"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.message, row.value) << row.name;
        EXPECT_EQ(message_name(row.message), row.name);
    }
    EXPECT_EQ(message_name(WM_APP + 112), "");
    EXPECT_EQ(UM_START_DOWNLOAD, 0x8000u + 1000);
    EXPECT_EQ(UM_UPDATE_CHECK_CLOSED, 0x8000u + 1008);
}

TEST(Notifications, TypesNameTheirMessages) {
    struct Row {
        Notification_type type;
        int worker_message;
        int fetcher_message;
    } rows[] = {
        {NT_SESSION_OPEN_FAILED, texts::download_start_error, texts::download_start_error},
        {NT_STATUS_CALLBACK_FAILED, texts::download_start_error, texts::download_start_error},
        {NT_ATTEMPTS_USED_UP, texts::retries_exceeded, texts::download_error},
        {NT_CONNECT_FAILED, texts::connect_error, texts::connect_error},
        {NT_OPEN_REQUEST_FAILED, texts::connect_error, texts::connect_error},
        {NT_SEND_REQUEST_FAILED, texts::connect_error, texts::connect_error},
        {NT_STATUS_QUERY_FAILED, texts::no_valid_response, texts::no_valid_response},
        {NT_HTTP_STATUS_NOT_OK, texts::no_valid_http_response, texts::no_valid_http_response},
        {NT_READ_FAILED, texts::download_error, texts::download_error},
        {NT_WRITE_FAILED, texts::download_error, texts::download_error},
        {NT_URL_INCORRECT, texts::url_incorrect, texts::url_incorrect},
        {NT_CANCELLED, texts::download_canceled, texts::download_canceled},
        {NT_NO_DIRECT_LINK, texts::no_direct_link, texts::no_direct_link},
        {NT_LINK_SYNTAX_INVALID, texts::link_syntax_invalid, texts::link_syntax_invalid},
        {NT_RESERVED_12, 0, 0},
        {NT_RESERVED_16, 0, 0},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(message_for_type(row.type, Sender::download_worker), row.worker_message)
            << row.type;
        EXPECT_EQ(message_for_type(row.type, Sender::page_fetcher), row.fetcher_message)
            << row.type;
    }
}

TEST(Notifications, WhichErrorsEndTheWorkerAndWhichTheDownload) {
    struct Row {
        std::int64_t type;
        bool ends_worker;
        bool ends_download;
    } rows[] = {
        {1, true, true},   {2, true, true},   {3, true, true},    {4, false, false},
        {5, false, false}, {6, false, false}, {7, false, false},  {8, false, false},
        {9, false, false}, {10, true, true},  {11, true, true},   {12, false, true},
        {13, false, true}, {14, true, false}, {15, false, false}, {16, false, false},
        {17, true, false}, {0, false, false}, {99, false, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(error_ends_worker(row.type), row.ends_worker) << "type " << row.type;
        EXPECT_EQ(error_ends_download(row.type), row.ends_download) << "type " << row.type;
    }
}

}  // namespace
}  // namespace corvale
