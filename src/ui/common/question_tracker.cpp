#include "ui/common/question_tracker.h"

#include <QDialog>

namespace corvale {

Question_tracker::Question_tracker(Prompter& inner, QObject* parent)
    : QObject(parent), inner_(inner) {}

Question_tracker::Scope::Scope(Question_tracker& tracker) : tracker_(tracker) {
    ++tracker_.depth_;
}

Question_tracker::Scope::~Scope() {
    tracker_.closed_one();
}

void Question_tracker::show_message(const std::wstring& text) {
    const Scope open(*this);
    inner_.show_message(text);
}

bool Question_tracker::ask_yes_no(const std::wstring& text) {
    const Scope open(*this);
    return inner_.ask_yes_no(text);
}

Prompter::Answer Question_tracker::ask_yes_no_cancel(const std::wstring& text) {
    const Scope open(*this);
    return inner_.ask_yes_no_cancel(text);
}

int Question_tracker::exec(QDialog& dialog) {
    const Scope open(*this);
    return dialog.exec();
}

void Question_tracker::closed_one() {
    if (--depth_ == 0) {
        post_next();
    }
}

void Question_tracker::when_free(std::function<void()> work) {
    waiting_.push_back(std::move(work));
    post_next();
}

void Question_tracker::post_next() {
    if (posted_ || waiting_.empty() || depth_ > 0) {
        return;
    }
    posted_ = true;
    QMetaObject::invokeMethod(this, &Question_tracker::run_next, Qt::QueuedConnection);
}

void Question_tracker::run_next() {
    posted_ = false;
    // A question that opened since (an uncounted loop ran this call) holds
    // the work back; its closing posts it again.
    if (depth_ > 0 || waiting_.empty()) {
        return;
    }
    std::function<void()> work = std::move(waiting_.front());
    waiting_.pop_front();
    post_next();  // the next piece gets a call of its own
    work();
}

}  // namespace corvale
