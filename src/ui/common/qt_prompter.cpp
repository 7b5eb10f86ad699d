#include "ui/common/qt_prompter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "ui/common/ui_text.h"

namespace corvale {

namespace {

QString caption() {
    return text(txt_application_title);
}

}  // namespace

// A message stands over the window the user works in (the links grabber, the
// update window, a progress window), else over the main window.
QWidget* Qt_prompter::owner() const {
    QWidget* active = QApplication::activeWindow();
    return active != nullptr ? active : parent_.data();
}

void Qt_prompter::show_message(const std::wstring& message) {
    QMessageBox box(QMessageBox::Information, caption(), qt(message), QMessageBox::NoButton,
                    owner());
    box.addButton(text(txt_ok), QMessageBox::AcceptRole);
    box.exec();
}

bool Qt_prompter::ask_yes_no(const std::wstring& message) {
    QMessageBox box(QMessageBox::Question, caption(), qt(message), QMessageBox::NoButton, owner());
    QPushButton* yes = box.addButton(text(txt_yes), QMessageBox::YesRole);
    box.setDefaultButton(box.addButton(text(txt_no), QMessageBox::NoRole));
    box.exec();
    return box.clickedButton() == yes;
}

Prompter::Answer Qt_prompter::ask_yes_no_cancel(const std::wstring& message) {
    QMessageBox box(QMessageBox::Question, caption(), qt(message), QMessageBox::NoButton, owner());
    QPushButton* yes = box.addButton(text(txt_yes), QMessageBox::YesRole);
    QPushButton* no = box.addButton(text(txt_no), QMessageBox::NoRole);
    box.setEscapeButton(box.addButton(text(txt_cancel), QMessageBox::RejectRole));
    box.exec();
    if (box.clickedButton() == yes) {
        return Answer::yes;
    }
    return box.clickedButton() == no ? Answer::no : Answer::cancel;
}

}  // namespace corvale
