#pragma once

#include <iosfwd>

#include "platform/prompter.h"

namespace corvale {

// Message boxes on the terminal: texts go to standard error as they would
// read in a window. A question is answered by the command line (--yes/--no),
// else asked on the terminal when there is one, else answered No.
class Terminal_prompter : public Prompter {
  public:
    enum class Given { ask, yes, no };

    Terminal_prompter(std::istream& in, std::ostream& err, Given answer, bool interactive)
        : in_(in), err_(err), answer_(answer), interactive_(interactive) {}

    void show_message(const std::wstring& text) override;
    bool ask_yes_no(const std::wstring& text) override;
    // Cancel is never the answer on a terminal: as ask_yes_no.
    Prompter::Answer ask_yes_no_cancel(const std::wstring& text) override {
        return ask_yes_no(text) ? Prompter::Answer::yes : Prompter::Answer::no;
    }

  private:
    std::istream& in_;
    std::ostream& err_;
    Given answer_;
    bool interactive_;
};

}  // namespace corvale
