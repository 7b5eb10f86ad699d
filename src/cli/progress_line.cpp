#include "cli/progress_line.h"

#include <unistd.h>

#include <iostream>

#include "cli/terminal_text.h"
#include "platform/wide_text.h"

namespace corvale {

bool Progress_line::terminal(const std::ostream& out) {
    return &out == &std::cerr && ::isatty(STDERR_FILENO) != 0;
}

void Progress_line::show(const Window_texts& texts, std::optional<int> percentage) {
    show(texts.downloaded + L" / " + (texts.size.empty() ? L"???" : texts.size) + L"  " +
         (percentage ? std::to_wstring(*percentage) + L"%  " : L"") + texts.speed_and_limit() +
         L"  " + texts.time_left + L"  " + texts.status);
}

void Progress_line::show(const std::wstring& line) {
    if (!enabled_) {
        return;
    }
    // The status may be the host's text: only the line's own escape reaches
    // the terminal.
    out_ << '\r' << terminal_text(line) << "\x1b[K" << std::flush;
    shown_ = true;
}

void Progress_line::end() {
    if (shown_) {
        out_ << '\n' << std::flush;
        shown_ = false;
    }
}

}  // namespace corvale
