#include "cli/terminal_prompter.h"

#include <istream>
#include <ostream>
#include <string>

#include "cli/terminal_text.h"

namespace corvale {

namespace {

// A message keeps its own lines; what it quotes from outside (paths, links
// and names from a list file) cannot steer the terminal.
std::string shown(const std::wstring& text) {
    std::string lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
        lines += terminal_text(std::wstring_view(text).substr(start, end - start));
        lines += '\n';
    }
    return lines + terminal_text(std::wstring_view(text).substr(start));
}

}  // namespace

void Terminal_prompter::show_message(const std::wstring& text) {
    err_ << shown(text) << std::endl;
}

bool Terminal_prompter::ask_yes_no(const std::wstring& text) {
    err_ << shown(text) << std::endl;
    if (answer_ != Given::ask) {
        return answer_ == Given::yes;
    }
    if (!interactive_) {
        return false;
    }
    err_ << "[y/N] " << std::flush;
    std::string reply;
    std::getline(in_, reply);
    return reply == "y" || reply == "Y" || reply == "yes" || reply == "Yes";
}

}  // namespace corvale
