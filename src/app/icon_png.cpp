// corvale-iconpng: renders the program's SVG icon as PNG files of the sizes
// the desktop's icon theme wants. Run at build time:
//
//   corvale-iconpng ICON.svg OUTPUT_FOLDER SIZE...
//
// writes OUTPUT_FOLDER/SIZE.png for each size.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 4) {
        std::fputs("usage: corvale-iconpng ICON.svg OUTPUT_FOLDER SIZE...\n", stderr);
        return 2;
    }
    QSvgRenderer renderer(arguments[1]);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "corvale-iconpng: %s is not a usable SVG file\n",
                     qPrintable(arguments[1]));
        return 1;
    }
    const QDir output(arguments[2]);
    if (!QDir().mkpath(output.path())) {
        std::fprintf(stderr, "corvale-iconpng: cannot create %s\n", qPrintable(output.path()));
        return 1;
    }
    for (const QString& size_text : arguments.mid(3)) {
        bool number = false;
        const int size = size_text.toInt(&number);
        if (!number || size < 8 || size > 1024) {
            std::fprintf(stderr, "corvale-iconpng: %s is not a size\n", qPrintable(size_text));
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        const QString file = output.filePath(size_text + ".png");
        if (!image.save(file)) {
            std::fprintf(stderr, "corvale-iconpng: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
