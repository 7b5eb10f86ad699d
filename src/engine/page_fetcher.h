#pragma once

// Fetches one URL into memory on a thread of its own, with two attempts, and
// reports by notifications. The links grabber uses it for pages and for the
// verification of each link.

#include <memory>
#include <string>
#include <string_view>

#include "engine/transfer_worker.h"

namespace corvale {

class Page_fetcher : public Transfer_worker {
  public:
    // Creates the thread behind its gate; resume() starts the fetch.
    Page_fetcher(std::int32_t identifier, std::wstring url,
                 std::shared_ptr<Notification_target> target, Settings_source settings = {});
    ~Page_fetcher() override;

    // False when the thread could not be created.
    bool created() const { return created_; }
    // Stops and joins the thread (well under a second). Idempotent; always 0.
    int stop();

    // The reply body, followed in memory by one NUL byte; valid after
    // UM_FINISHED until the fetcher is destroyed.
    std::string_view page_data() const { return page_; }
    // Whether the page ends at the limit of 32 MiB with more of the reply
    // unread (or, for a reply without a length, perhaps more). Valid after
    // UM_FINISHED.
    bool page_cut() const { return cut_; }

  private:
    std::string user_agent(const Transfer_values& values) const override;
    void run_attempts(Http_session& session) override;
    Step attempt(Http_session& session, const Http_target& target);

    std::wstring url_;
    std::string page_;
    bool cut_ = false;
    bool created_ = false;
};

}  // namespace corvale
