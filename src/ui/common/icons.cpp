#include "ui/common/icons.h"

#include <QImage>
#include <QPixmap>
#include <mutex>

// The icons are compiled into this static library; the linker keeps them only
// when they are registered by name.
static void register_icons() {
    Q_INIT_RESOURCE(icons);
}

namespace corvale {

namespace {

QPixmap greyed(const QPixmap& pixmap) {
    QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grey = qGray(line[x]);
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]) * 2 / 5);
        }
    }
    return QPixmap::fromImage(image);
}

}  // namespace

QIcon program_icon(const QString& name) {
    static std::once_flag registered;
    std::call_once(registered, register_icons);
    const QIcon drawing(":/icons/" + name + ".svg");
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64}) {
        const QPixmap normal = drawing.pixmap(size, size);
        icon.addPixmap(normal, QIcon::Normal);
        icon.addPixmap(greyed(normal), QIcon::Disabled);
    }
    return icon;
}

}  // namespace corvale
