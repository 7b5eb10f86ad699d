#include "cli/terminal_text.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/progress_line.h"
#include "cli/terminal_prompter.h"

namespace corvale {
namespace {

TEST(TerminalText, ControlCharactersBecomeVisibleEscapes) {
    struct Row {
        std::wstring text;
        std::string shown;
        const char* why;
    } rows[] = {
        {L"plain text 1.2.0.3", "plain text 1.2.0.3", "nothing to escape"},
        {L"\x1b]0;owned\x07", "\\x1b]0;owned\\x07", "a window title set with BEL"},
        {L"\x1b[2J\x1b[H", "\\x1b[2J\\x1b[H", "clear screen, cursor home"},
        {L"\x1b]52;c;aGk=\x1b\\", "\\x1b]52;c;aGk=\\x1b\\", "clipboard write ended by ST"},
        {std::wstring(L"a\0b", 3), "a\\x00b", "NUL"},
        {L"a\tb\nc\rd", "a\\x09b\\x0ac\\x0dd", "tab, line feed and CR of the text itself"},
        {L"\x1f\x7f", "\\x1f\\x7f", "last C0 and DEL"},
        {L"\x80\x85\x9b\x9f", "\\x80\\x85\\x9b\\x9f", "C1 controls, CSI among them"},
        {L"\xa0\xe9", "\xC2\xA0\xC3\xA9", "no-break space and Latin-1 letters stay"},
        {L"\x0648\x0635\x0641 \x2068x\x2069", "\xD9\x88\xD8\xB5\xD9\x81 \xE2\x81\xA8x\xE2\x81\xA9",
         "Arabic and isolation marks stay"},
        {L"caf\xDCE9", "caf\xE9", "a native byte that is not UTF-8 stays that byte"},
        {L"x\xDC9B"
         L"2J",
         "x\\x9b2J", "a native C1 byte is escaped too"},
        {L"C:\\dl\\a.zip", "C:\\dl\\a.zip", "backslashes stay as they are"},
        {L"", "", "empty"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(terminal_text(row.text), row.shown) << row.why;
    }
}

TEST(TerminalText, ProgressLineAndMessagesKeepOnlyTheirOwnControls) {
    std::ostringstream line_out;
    {
        Progress_line line(line_out, true);
        line.show(L"Waiting \x1b]0;x\x07");
    }
    EXPECT_EQ(line_out.str(), "\rWaiting \\x1b]0;x\\x07\x1b[K\n")
        << "only the line's own return, erase and end";

    std::istringstream in;
    std::ostringstream err;
    Terminal_prompter prompter(in, err, Terminal_prompter::Given::no, false);
    prompter.show_message(L"/d/\x1b[2Jx\nhttp://h/\x07\n\nSaved.");
    EXPECT_EQ(err.str(), "/d/\\x1b[2Jx\nhttp://h/\\x07\n\nSaved.\n")
        << "the message's own lines stay";
}

}  // namespace
}  // namespace corvale
