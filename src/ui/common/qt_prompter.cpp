#include "ui/common/qt_prompter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "ui/common/ui_text.h"

namespace corvale {

namespace {

QString caption() {
    return text(texts::application_title);
}

}  // namespace

// A message belongs to the main window, never to a window that may be
// released while the message is open (a progress window that ends under it
// would take the message with it). It is shown over the window the user
// works in (the links grabber, the update window, a progress window).
void Qt_prompter::run(QMessageBox& box) const {
    QWidget* active = QApplication::activeWindow();
    if (active != nullptr && active != box.parentWidget() && active->isVisible()) {
        box.adjustSize();
        box.move(active->frameGeometry().center() - box.rect().center());
    }
    box.exec();
}

void Qt_prompter::show_message(const std::wstring& message) {
    QMessageBox box(QMessageBox::Information, caption(), qt(message), QMessageBox::NoButton,
                    parent_.data());
    box.addButton(text(texts::ok), QMessageBox::AcceptRole);
    run(box);
}

bool Qt_prompter::ask_yes_no(const std::wstring& message) {
    QMessageBox box(QMessageBox::Question, caption(), qt(message), QMessageBox::NoButton,
                    parent_.data());
    QPushButton* yes = box.addButton(text(texts::yes), QMessageBox::YesRole);
    box.setDefaultButton(box.addButton(text(texts::no), QMessageBox::NoRole));
    run(box);
    return box.clickedButton() == yes;
}

Prompter::Answer Qt_prompter::ask_yes_no_cancel(const std::wstring& message) {
    QMessageBox box(QMessageBox::Question, caption(), qt(message), QMessageBox::NoButton,
                    parent_.data());
    QPushButton* yes = box.addButton(text(texts::yes), QMessageBox::YesRole);
    QPushButton* no = box.addButton(text(texts::no), QMessageBox::NoRole);
    box.setEscapeButton(box.addButton(text(texts::cancel), QMessageBox::RejectRole));
    run(box);
    if (box.clickedButton() == yes) {
        return Answer::yes;
    }
    return box.clickedButton() == no ? Answer::no : Answer::cancel;
}

}  // namespace corvale
