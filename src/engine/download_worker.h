#pragma once

// Fetches one file from the file host (through File_host) on a thread of its own: up to four
// attempts of API request, counted-down wait and file request, the file read
// in pieces and written in large batches. Reports by notifications to its
// target; the owner reads the texts and the progress block.

#include <memory>
#include <string>

#include "engine/transfer_worker.h"
#include "host/file_host.h"
#include "platform/output_file.h"

namespace corvale {

class Download_worker : public Transfer_worker {
  public:
    explicit Download_worker(Settings_source settings = {});
    ~Download_worker() override;

    // Stops any earlier run, then creates the thread behind its gate.
    // 0, or a negative number when the thread cannot be created.
    int start();
    // Before resume(): what to fetch, where to write, whom to tell.
    void set_job(std::int32_t download_number, Output_file* file, std::wstring url,
                 std::shared_ptr<Notification_target> target);
    // Signals the stop, lets the thread end and joins it (well under a second),
    // closes the output file. Idempotent. Always 0: no thread is ever killed.
    int stop();
    // The same, but the output file stays open: until the thread has ended it
    // may still write (the last bytes of a reply that had ended), so its owner
    // looks at the file only after this. Idempotent.
    void end_thread() { stop_thread(); }

    // A copy of the file host's last refusal text. Any thread.
    std::wstring last_error_text() const;

  private:
    void run_attempts(Http_session& session) override;
    Step attempt(Http_session& session, const Http_target& api, const Link_parts& link);
    // Reads the API reply into the transfer buffer; the count, or none when
    // the attempt ended (`end` says how).
    std::optional<std::size_t> read_api_reply(Http_request& request, Step& end);
    Step fetch_file(Http_session& session, const Link_parts& link, const Api_reply& reply);
    void report_last_error(const std::wstring& text);

    std::unique_ptr<const File_host> host_;  // made from the settings at each attempt's start
    Output_file* file_ = nullptr;
    std::wstring url_;
    std::wstring last_error_;  // guarded by lock_
    std::unique_ptr<char, void (*)(void*)> buffer_;
};

}  // namespace corvale
