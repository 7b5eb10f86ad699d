#pragma once

// Everything a transfer is made with: the file host's names, the workers'
// timing, the user agents, the proxy. The application owns one
// Transfer_settings and hands it down once; every worker holds it and takes a
// snapshot of the current values when it opens a session and at the start of
// each attempt, so a change made while transfers run reaches them at their
// next attempt or request.

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "engine/speed_limits.h"
#include "engine/worker_timing.h"
#include "host/host_config.h"

namespace corvale {

struct Transfer_values {
    Host_config host;
    Worker_timing timing;
    // What the download worker tells the file host it is.
    std::string user_agent = "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 6.1; Trident/4.0)";
    // What the page fetcher tells web servers it is; empty: the product name.
    std::string page_user_agent;
    // "scheme://host:port" for every request; empty: the standard proxy
    // variables (http_proxy, https_proxy, no_proxy) decide.
    std::string proxy;
    // The speed limits downloads run under; none: no limits. The limits
    // change while transfers run: a download asks them for its rate while it
    // reads, not only at its snapshot.
    std::shared_ptr<Speed_limits> speed_limits;
};

// One set of values shared by the threads that read it. Any thread.
class Transfer_settings {
  public:
    explicit Transfer_settings(Transfer_values values = {}) : values_(std::move(values)) {}

    // A copy of the current values.
    Transfer_values current() const {
        const std::lock_guard lock(lock_);
        return values_;
    }
    // Changes the values under the lock; readers see all of the change or none.
    void change(const std::function<void(Transfer_values&)>& edit) {
        const std::lock_guard lock(lock_);
        edit(values_);
    }

  private:
    mutable std::mutex lock_;
    Transfer_values values_;
};

using Settings_source = std::shared_ptr<const Transfer_settings>;

// Settings with the given values (the defaults: the real file host, real time).
std::shared_ptr<Transfer_settings> make_transfer_settings(Transfer_values values = {});
// `settings`, or new settings with the defaults when there are none.
Settings_source settings_or_default(Settings_source settings);
// The same with only the host and timing given, as tests and tools have them.
std::shared_ptr<Transfer_settings> make_transfer_settings(Host_config host, Worker_timing timing);

}  // namespace corvale
