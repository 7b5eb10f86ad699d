#include "cli/progress_line.h"

#include <unistd.h>

#include <iostream>

#include "cli/terminal_text.h"
#include "model/row_texts.h"
#include "platform/wide_text.h"

namespace corvale {

bool Progress_line::terminal(const std::ostream& out) {
    return &out == &std::cerr && ::isatty(STDERR_FILENO) != 0;
}

void Progress_line::show(const std::wstring& status, const Progress_block& block,
                         const std::wstring& speed, const std::wstring& time_left) {
    show(size_text(block.downloaded) + L" / " + (block.size != 0 ? size_text(block.size) : L"???") +
         L"  " + std::to_wstring(block.percentage) + L"%  " + speed + L"  " + time_left + L"  " +
         status);
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
