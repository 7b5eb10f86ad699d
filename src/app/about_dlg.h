#pragma once

#include <QDialog>

class QLabel;

namespace corvale {

// The About window: the information text, the version, and a link to the
// maker's website that opens in the desktop's browser.
class CAboutDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    QString info_text() const;
    QString version_text() const;

  private:
    QLabel* info_ = nullptr;
    QLabel* version_ = nullptr;
};

}  // namespace corvale
