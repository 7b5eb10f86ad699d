#include "cli/terminal_prompter.h"

#include <istream>
#include <ostream>
#include <string>

#include "platform/wide_text.h"

namespace corvale {

void Terminal_prompter::show_message(const std::wstring& text) {
    err_ << encode_utf8(text) << std::endl;
}

bool Terminal_prompter::ask_yes_no(const std::wstring& text) {
    err_ << encode_utf8(text) << std::endl;
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
