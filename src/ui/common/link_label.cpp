#include "ui/common/link_label.h"

#include <QAccessibleWidget>
#include <QDesktopServices>
#include <QUrl>

namespace corvale {

namespace {

// The accessibility side of a Link_label: role Link, its text as its name,
// and a press action that follows it.
class Link_accessible : public QAccessibleWidget {
  public:
    explicit Link_accessible(Link_label* link) : QAccessibleWidget(link, QAccessible::Link) {}

    QString text(QAccessible::Text kind) const override {
        const auto* link = static_cast<const Link_label*>(widget());
        switch (kind) {
            case QAccessible::Name:
                return link->accessibleName().isEmpty() ? link->shown_text()
                                                        : link->accessibleName();
            case QAccessible::Value:
                return link->url();
            default:
                return QAccessibleWidget::text(kind);
        }
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.linked = true;
        return state;
    }
    QStringList actionNames() const override {
        return QStringList(pressAction()) + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action == pressAction()) {
            static_cast<Link_label*>(widget())->follow();
            return;
        }
        QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* link_factory(const QString& class_name, QObject* object) {
    if (class_name == QLatin1String(Link_label::staticMetaObject.className())) {
        return new Link_accessible(static_cast<Link_label*>(object));
    }
    return nullptr;
}

}  // namespace

Link_label::Link_label(const QString& url, const QString& shown, QWidget* parent)
    : QLabel(parent), url_(url), shown_(shown) {
    static const bool installed = [] {
        QAccessible::installFactory(link_factory);
        return true;
    }();
    (void)installed;
    setTextFormat(Qt::RichText);
    setText(QString("<a href=\"%1\">%2</a>").arg(url.toHtmlEscaped(), shown.toHtmlEscaped()));
    setTextInteractionFlags(Qt::TextBrowserInteraction);
    setOpenExternalLinks(false);
    setToolTip(url);
    connect(this, &QLabel::linkActivated, this, [this] { follow(); });
}

void Link_label::follow() const {
    QDesktopServices::openUrl(QUrl(url_));
}

}  // namespace corvale
