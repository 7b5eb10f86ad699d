#pragma once

// What a progress window would show, as one line that a terminal redraws.

#include <iosfwd>
#include <optional>
#include <string>

#include "engine/progress_texts.h"

namespace corvale {

class Progress_line {
  public:
    Progress_line(std::ostream& out, bool enabled) : out_(out), enabled_(enabled) {}
    ~Progress_line() { end(); }
    Progress_line(const Progress_line&) = delete;
    Progress_line& operator=(const Progress_line&) = delete;

    // Whether `out` is the process's standard error on a terminal.
    static bool terminal(const std::ostream& out);

    // Received / size, the percentage when given, speed, time left, status.
    void show(const Window_texts& texts, std::optional<int> percentage = std::nullopt);
    void show(const std::wstring& line);
    // Ends the line, so that what follows starts on a line of its own.
    void end();

  private:
    std::ostream& out_;
    bool enabled_;
    bool shown_ = false;
};

}  // namespace corvale
