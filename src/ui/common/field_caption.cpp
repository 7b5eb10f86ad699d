#include "ui/common/field_caption.h"

#include <QAccessibleWidget>
#include <QApplication>

#include "ui/common/ui_text.h"

namespace corvale {

QLabel* field_caption(int label, QWidget* field, QWidget* parent) {
    auto* caption = new QLabel(text(label), parent);
    caption->setBuddy(field);
    field->setAccessibleName(text(label).remove(QChar('&')));
    return caption;
}

QLabel* value_caption(int label, QLabel* value, QWidget* parent) {
    auto* caption = new QLabel(text(label), parent);
    caption->setBuddy(value);
    return caption;
}

Qt::Alignment beside_caption(const QWidget* window) {
    const bool right_to_left = window != nullptr ? window->layoutDirection() == Qt::RightToLeft
                                                 : QApplication::isRightToLeft();
    return (right_to_left ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignAbsolute;
}

namespace {

class Value_accessible : public QAccessibleWidget {
  public:
    explicit Value_accessible(QLabel* value) : QAccessibleWidget(value, QAccessible::StaticText) {}
    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name) {
            const auto* value = static_cast<const QLabel*>(widget());
            return value->accessibleName().isEmpty() ? value->text() : value->accessibleName();
        }
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface* value_factory(const QString& class_name, QObject* object) {
    if (class_name == QLatin1String(Value_label::staticMetaObject.className())) {
        return new Value_accessible(static_cast<QLabel*>(object));
    }
    return nullptr;
}

}  // namespace

Value_label::Value_label(QWidget* parent, const QString& shown) : QLabel(shown, parent) {
    static const bool installed = [] {
        QAccessible::installFactory(value_factory);
        return true;
    }();
    (void)installed;
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFocusPolicy(Qt::StrongFocus);
    setAlignment(beside_caption(parent) | Qt::AlignVCenter);
}

QLabel* value_label(QWidget* parent, const QString& shown) {
    return new Value_label(parent, shown);
}

}  // namespace corvale
