#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/prompter.h"

class QMessageBox;

namespace corvale {

// Message boxes owned by the main window, with the buttons in the current
// language.
class Qt_prompter : public Prompter {
  public:
    explicit Qt_prompter(QWidget* parent = nullptr) : parent_(parent) {}
    void set_parent(QWidget* parent) { parent_ = parent; }

    void show_message(const std::wstring& text) override;
    bool ask_yes_no(const std::wstring& text) override;
    Answer ask_yes_no_cancel(const std::wstring& text) override;

  private:
    void run(QMessageBox& box) const;
    QPointer<QWidget> parent_;
};

}  // namespace corvale
