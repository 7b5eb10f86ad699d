#pragma once

// What the desktop is told when downloads end: the ends that come within a
// second of the first are gathered into one notice, so that a queue of small
// files does not flood the screen. Qt-free; the window passes the notice on
// to the desktop's notification service.

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace corvale {

// A download that finished, or failed for good.
struct Ended_download {
    std::wstring file_name;
    std::wstring status;  // the status text the list shows
    std::wstring file;    // the local file's path
    std::wstring folder;  // the folder it is in
    bool succeeded = false;
};

struct Notice {
    std::wstring title;
    std::wstring body;    // lines apart by '\n'
    std::wstring file;    // what "Open" opens; empty: no such action
    std::wstring folder;  // what "Open Containing Folder" opens; empty: none

    bool operator==(const Notice&) const = default;
};

class Notice_merger {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    // How long the first end waits for others to join it.
    static constexpr std::chrono::milliseconds k_gather{1000};
    // How many file names a gathered notice lists.
    static constexpr std::size_t k_listed_names = 5;

    explicit Notice_merger(Clock clock = {});

    void add(Ended_download download);
    // The automatic queue ran to its end.
    void add_queue_finished();
    bool waiting() const { return !downloads_.empty() || queue_finished_; }
    // How long until take() gives the notice; none when nothing waits.
    std::optional<std::chrono::milliseconds> due_in() const;
    // The gathered notice once k_gather has passed since the first end that
    // waits; none before that, or when nothing waits.
    std::optional<Notice> take();
    // Drops what waits.
    void clear();

  private:
    Notice merged() const;

    Clock clock_;
    std::chrono::steady_clock::time_point first_{};
    std::vector<Ended_download> downloads_;
    bool queue_finished_ = false;
};

}  // namespace corvale
