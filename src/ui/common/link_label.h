#pragma once

// A link to a web page: shown and followed like a link in a browser (by the
// mouse, or by Tab and Enter), and exposed to screen readers as a link whose
// press action opens the page, not as a label. The page opens in the
// desktop's browser (QDesktopServices::openUrl).

#include <QLabel>

namespace corvale {

class Link_label : public QLabel {
    Q_OBJECT

  public:
    Link_label(const QString& url, const QString& shown, QWidget* parent);

    const QString& url() const { return url_; }
    const QString& shown_text() const { return shown_; }
    // What a click, Enter or a screen reader's press does.
    void follow() const;

  private:
    QString url_;
    QString shown_;
};

}  // namespace corvale
