#pragma once

// Asks whether a list file replaces the current list or is merged into it.

#include <QDialog>

class QPushButton;

namespace corvale {

class CLoad_or_merge_dlg : public QDialog {
    Q_OBJECT

  public:
    enum Choice { load = 0, merge = 1, nothing = 2 };

    explicit CLoad_or_merge_dlg(QWidget* parent = nullptr);
    // What the user chose; the close box and Esc count as nothing.
    Choice choice() const { return choice_; }
    QPushButton& load_button() { return *load_; }
    QPushButton& merge_button() { return *merge_; }

  private:
    Choice choice_ = nothing;
    QPushButton* load_ = nullptr;
    QPushButton* merge_ = nullptr;
};

}  // namespace corvale
