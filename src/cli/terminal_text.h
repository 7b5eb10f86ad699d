#pragma once

// Text from outside the program (pages, the host's replies, version files,
// list fields) on its way to a terminal.

#include <string>
#include <string_view>

namespace corvale {

// UTF-8 in which every C0 and C1 control character and DEL is written as a
// visible escape ("\x1b", "\x07", "\x00", "\x0a", "\x9b"), so that no text
// from outside can move the cursor, clear the screen, retitle the window,
// write the clipboard, ring the bell or break a line of the output: the
// terminal shows what the text holds. A byte of a native name that is not
// UTF-8 stays that byte, unless it is a C1 control byte (0x80 to 0x9F), which
// is escaped too. Tabs and line feeds are escaped like the rest: the caller
// adds the separators and line ends of its own output around the text.
std::string terminal_text(std::wstring_view text);

}  // namespace corvale
