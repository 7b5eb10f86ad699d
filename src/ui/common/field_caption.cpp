#include "ui/common/field_caption.h"

#include <QLabel>

#include "ui/common/ui_text.h"

namespace corvale {

QLabel* field_caption(int label, QWidget* field, QWidget* parent) {
    auto* caption = new QLabel(text(label), parent);
    caption->setBuddy(field);
    field->setAccessibleName(text(label).remove(QChar('&')));
    return caption;
}

}  // namespace corvale
