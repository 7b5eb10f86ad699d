#include "ui/common/file_dialogs.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QPainter>
#include <QProxyStyle>
#include <QStandardPaths>

#include "platform/file_io.h"
#include "platform/wide_text.h"
#include "ui/common/ui_text.h"

namespace corvale {

namespace {

// A combo box draws its label with the application's direction, whatever its
// own: this style draws every control in the direction of the widget it is
// drawn for.
class Own_direction_style : public QProxyStyle {
  public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        painter->save();
        painter->setLayoutDirection(option->direction);
        QProxyStyle::drawControl(element, option, painter, widget);
        painter->restore();
    }
};

}  // namespace

void prepare_file_dialog(QFileDialog& dialog) {
    if (dialog.layoutDirection() != Qt::RightToLeft) {
        return;
    }
    // A platform dialog would keep its own language and direction.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    for (QWidget* data : dialog.findChildren<QLineEdit*>()) {
        data->setLayoutDirection(Qt::LeftToRight);
    }
    auto* style = new Own_direction_style;
    style->setParent(&dialog);
    for (QWidget* data : dialog.findChildren<QComboBox*>()) {
        data->setLayoutDirection(Qt::LeftToRight);
        data->setStyle(style);
    }
    for (QWidget* data : dialog.findChildren<QAbstractItemView*>()) {
        data->setLayoutDirection(Qt::LeftToRight);
    }
    // Beside the icons a desktop's style gives them, the buttons' Arabic
    // words are cut at their end: the words alone.
    for (QDialogButtonBox* buttons : dialog.findChildren<QDialogButtonBox*>()) {
        for (QAbstractButton* button : buttons->buttons()) {
            button->setIcon(QIcon());
        }
    }
}

std::optional<std::wstring> choose_folder(QWidget* parent, int title, const std::wstring& start) {
    QFileDialog dialog(parent, text(title), to_qt_path(start));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    prepare_file_dialog(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return from_qt_path(dialog.selectedFiles().front());
}

std::wstring from_qt_path(const QString& path) {
    return decode_native(QFile::encodeName(path).toStdString());
}

QString to_qt_path(const std::wstring& path) {
    return QFile::decodeName(to_path(path).c_str());
}

Standard_folders standard_folders() {
    return {from_qt_path(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation)),
            from_qt_path(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)),
            from_qt_path(QDir::homePath())};
}

std::wstring user_start_folder(Start_for what, const Profile& profile, std::wstring_view field) {
    return start_folder(what, profile, standard_folders(), field);
}

}  // namespace corvale
