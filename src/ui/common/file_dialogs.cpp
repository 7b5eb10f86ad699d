#include "ui/common/file_dialogs.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>

#include "platform/wide_text.h"

namespace corvale {

void prepare_file_dialog(QFileDialog& dialog) {
    if (dialog.layoutDirection() != Qt::RightToLeft) {
        return;
    }
    // A platform dialog would keep its own language and direction.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    for (QWidget* data : dialog.findChildren<QLineEdit*>()) {
        data->setLayoutDirection(Qt::LeftToRight);
    }
    for (QWidget* data : dialog.findChildren<QComboBox*>()) {
        data->setLayoutDirection(Qt::LeftToRight);
    }
    for (QWidget* data : dialog.findChildren<QAbstractItemView*>()) {
        data->setLayoutDirection(Qt::LeftToRight);
    }
}

std::wstring from_qt_path(const QString& path) {
    return decode_native(QFile::encodeName(path).toStdString());
}

}  // namespace corvale
