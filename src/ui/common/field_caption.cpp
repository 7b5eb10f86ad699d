#include "ui/common/field_caption.h"

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

QLabel* value_label(QWidget* parent, const QString& shown) {
    auto* value = new QLabel(shown, parent);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    value->setFocusPolicy(Qt::StrongFocus);
    value->setAlignment(beside_caption(parent) | Qt::AlignVCenter);
    return value;
}

}  // namespace corvale
