// corvale-helpdoc: turns a help source (HTML) into the PDF that the Help
// command opens. Run at build time, offscreen:
//
//   corvale-helpdoc SOURCE.html OUTPUT.pdf IMAGE_FOLDER [--rtl] [--title T] [--style CSS]
//
// Images named in the source are looked up in IMAGE_FOLDER; CSS is the style
// sheet that both languages share. With --rtl the
// document is laid out right to left. The pages are drawn one by one from one
// layout of the document, so a long help text costs one layout, not one per
// page. The PDF is written to a temporary name and renamed, so a failed run
// never leaves a half-written help file behind.

#include <QFile>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>
#include <QTextOption>
#include <QUrl>
#include <cstdio>

namespace {

constexpr int k_resolution = 96;  // image pixels map 1:1 to layout pixels

struct Options {
    QString source;
    QString output;
    QString images;
    QString title;
    QString style;
    bool rtl = false;
};

bool parse(const QStringList& arguments, Options& options) {
    QStringList positional;
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == "--rtl") {
            options.rtl = true;
        } else if (arguments[i] == "--title" && i + 1 < arguments.size()) {
            options.title = arguments[++i];
        } else if (arguments[i] == "--style" && i + 1 < arguments.size()) {
            options.style = arguments[++i];
        } else {
            positional << arguments[i];
        }
    }
    if (positional.size() != 3) {
        return false;
    }
    options.source = positional[0];
    options.output = positional[1];
    options.images = positional[2];
    return true;
}

int fail(const QString& message) {
    std::fprintf(stderr, "corvale-helpdoc: %s\n", qPrintable(message));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication application(argc, argv);
    Options options;
    if (!parse(QCoreApplication::arguments(), options)) {
        return fail(
            "usage: corvale-helpdoc SOURCE.html OUTPUT.pdf IMAGE_FOLDER [--rtl] "
            "[--title TITLE] [--style CSS]");
    }
    QString style;
    if (!options.style.isEmpty()) {
        QFile sheet(options.style);
        if (!sheet.open(QIODevice::ReadOnly)) {
            return fail(options.style + ": " + sheet.errorString());
        }
        style = QString::fromUtf8(sheet.readAll());
    }
    QFile source(options.source);
    if (!source.open(QIODevice::ReadOnly)) {
        return fail(options.source + ": " + source.errorString());
    }
    const QString html = QString::fromUtf8(source.readAll());

    QSaveFile output(options.output);
    if (!output.open(QIODevice::WriteOnly)) {
        return fail(options.output + ": " + output.errorString());
    }
    QPdfWriter writer(&output);
    writer.setResolution(k_resolution);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(18, 18, 18, 18), QPageLayout::Millimeter));
    writer.setTitle(options.title);
    writer.setCreator("corvale-helpdoc");

    QTextDocument document;
    document.setBaseUrl(QUrl::fromLocalFile(options.images + "/"));
    document.setDocumentMargin(0);
    if (options.rtl) {
        QTextOption option = document.defaultTextOption();
        option.setTextDirection(Qt::RightToLeft);
        document.setDefaultTextOption(option);
    }
    document.setDefaultStyleSheet(style);
    document.setHtml(html);
    const QRectF page = writer.pageLayout().paintRectPixels(k_resolution);
    document.setPageSize(page.size());

    QPainter painter(&writer);
    if (!painter.isActive()) {
        return fail(options.output + ": the PDF could not be started");
    }
    const int pages = document.pageCount();
    for (int index = 0; index < pages; ++index) {
        if (index > 0) {
            writer.newPage();
        }
        const QRectF shown(0, index * page.height(), page.width(), page.height());
        painter.save();
        painter.translate(0, -shown.top());
        document.drawContents(&painter, shown);
        painter.restore();
    }
    painter.end();
    if (!output.commit()) {
        return fail(options.output + ": " + output.errorString());
    }
    return 0;
}
