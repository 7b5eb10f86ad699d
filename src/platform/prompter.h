#pragma once

// Message boxes as the core sees them. The windows implement it with dialogs,
// the CLI on the terminal, tests with a script of answers.

#include <string>

namespace corvale {

class Prompter {
  public:
    virtual ~Prompter() = default;

    // A message with an OK button.
    virtual void show_message(const std::wstring& text) = 0;
    // A question with Yes and No buttons; true for Yes.
    virtual bool ask_yes_no(const std::wstring& text) = 0;

    enum class Answer { yes, no, cancel };
    // A question with Yes, No and Cancel buttons.
    virtual Answer ask_yes_no_cancel(const std::wstring& text) = 0;
};

}  // namespace corvale
