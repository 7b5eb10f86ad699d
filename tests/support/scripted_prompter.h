#pragma once

// A prompter that answers questions from a script and records everything it
// was shown, in order, for tests to compare.

#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/prompter.h"
#include "platform/wide_text.h"

namespace corvale::testing {

class Scripted_prompter : public Prompter {
  public:
    struct Shown {
        bool question;
        std::wstring text;
        bool operator==(const Shown&) const = default;
        friend void PrintTo(const Shown& shown, std::ostream* out) {
            *out << (shown.question ? "question: " : "message: ") << encode_utf8(shown.text);
        }
    };

    explicit Scripted_prompter(std::deque<bool> answers = {}) : answers_(std::move(answers)) {}

    void show_message(const std::wstring& text) override {
        shown_.push_back({false, text});
        keep_open(text);
    }

    // Runs while a message or question is "open", before it is answered,
    // with its text: to look at the screen behind it, or to run the events
    // that arrive meanwhile (downloads that end, timers, a second start).
    std::function<void(const std::wstring& text)> while_open;

    // Answers No once the script is used up, and counts that as unexpected.
    bool ask_yes_no(const std::wstring& text) override {
        shown_.push_back({true, text});
        keep_open(text);
        if (answers_.empty()) {
            ++unscripted_questions_;
            return false;
        }
        const bool answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

    // Yes and No come from the script as for ask_yes_no; a script entry of
    // cancel_answers_ answers Cancel.
    Answer ask_yes_no_cancel(const std::wstring& text) override {
        if (!cancels_.empty() && cancels_.front()) {
            cancels_.pop_front();
            shown_.push_back({true, text});
            keep_open(text);
            return Answer::cancel;
        }
        if (!cancels_.empty()) {
            cancels_.pop_front();
        }
        return ask_yes_no(text) ? Answer::yes : Answer::no;
    }
    // The next three-way question is answered Cancel (true) or from the script.
    void answer_cancel(bool cancel) { cancels_.push_back(cancel); }

    const std::vector<Shown>& shown() const { return shown_; }
    int unscripted_questions() const { return unscripted_questions_; }
    void answer(bool yes) { answers_.push_back(yes); }
    void clear() { shown_.clear(); }

  private:
    void keep_open(const std::wstring& text) {
        if (while_open) {
            const auto hook = while_open;  // the hook may replace itself
            hook(text);
        }
    }

    std::deque<bool> answers_;
    std::deque<bool> cancels_;
    std::vector<Shown> shown_;
    int unscripted_questions_ = 0;
};

}  // namespace corvale::testing
