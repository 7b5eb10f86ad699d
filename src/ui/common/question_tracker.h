#pragma once

// A question or a modal dialog runs a nested event loop: while it is open,
// downloads finish, timers fire and other programs talk to the program. The
// tracker counts what is open and holds back the work that must not run
// inside such a loop (releasing a window, a command, a timer's action) until
// the last one has closed; each piece then runs from a queued call of its
// own, at the top of the event loop, in the order it came. Questions asked
// through the tracker (it is the program's prompter) count by themselves;
// modal dialogs are run through exec(). Lives on the GUI thread.

#include <QObject>
#include <deque>
#include <functional>

#include "platform/prompter.h"

class QDialog;

namespace corvale {

class Question_tracker : public QObject, public Prompter {
    Q_OBJECT

  public:
    // Questions go on to `inner` (message boxes, or a script in tests).
    explicit Question_tracker(Prompter& inner, QObject* parent = nullptr);

    void show_message(const std::wstring& text) override;
    bool ask_yes_no(const std::wstring& text) override;
    Answer ask_yes_no_cancel(const std::wstring& text) override;

    // Counts as an open question while it lives.
    class Scope {
      public:
        explicit Scope(Question_tracker& tracker);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

      private:
        Question_tracker& tracker_;
    };
    // A modal dialog, counted while it is open; its result.
    int exec(QDialog& dialog);

    bool open() const { return depth_ > 0; }
    // Whether work waits to run.
    bool pending() const { return posted_ || !waiting_.empty(); }
    // Runs `work` from a queued call once no question is open, never inside
    // the call that hands it over.
    void when_free(std::function<void()> work);

  private:
    void closed_one();
    void post_next();
    void run_next();

    Prompter& inner_;
    int depth_ = 0;
    bool posted_ = false;
    std::deque<std::function<void()>> waiting_;
};

}  // namespace corvale
