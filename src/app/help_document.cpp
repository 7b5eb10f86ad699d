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

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
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

// After an edit the layout goes on lazily, a part at a time, from an event
// loop that never runs here: a new layout lays the document out whole.
void lay_out_whole(QTextDocument& document) {
    document.setDocumentLayout(nullptr);
    document.pageCount();
}

// The page a point of the laid-out document falls on.
int page_of(qreal y, qreal page_height) {
    return static_cast<int>(y / page_height);
}

// A heading that would end a page, its text on the next, starts that page
// instead. Each move lays the document out again, so headings are looked at
// in order.
void keep_headings_with_text(QTextDocument& document, qreal page_height) {
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        // Each move replaces the layout.
        const QAbstractTextDocumentLayout* layout = document.documentLayout();
        const QTextBlock text = block.next();
        if (block.blockFormat().headingLevel() == 0 || !text.isValid() ||
            text.layout()->lineCount() == 0) {
            continue;
        }
        const qreal heading_top = layout->blockBoundingRect(block).top();
        const qreal text_top = layout->blockBoundingRect(text).top() + text.layout()->lineAt(0).y();
        if (page_of(heading_top, page_height) != page_of(text_top, page_height)) {
            // A heading right above it (a section's over a subsection's) goes too.
            QTextBlock first = block;
            while (first.previous().isValid() &&
                   first.previous().blockFormat().headingLevel() > 0) {
                first = first.previous();
            }
            QTextBlockFormat format;
            format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            QTextCursor(first).mergeBlockFormat(format);
            lay_out_whole(document);
        }
    }
}

// The text layout draws a paragraph whole wherever its box meets the page
// drawn, and with it the line just above the page. So every paragraph is made
// to keep to one page, box and all: one that runs from one page onto the next
// is split in two where the page breaks (the second part without the
// paragraph's spacing above it, and a list item's without a second bullet),
// and the spacing below a paragraph that reaches into the next page is
// dropped.
void keep_paragraphs_on_their_pages(QTextDocument& document, qreal page_height) {
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QTextLayout* lines = block.layout();
        if (lines->lineCount() == 0) {
            continue;
        }
        // Each edit replaces the layout.
        const QRectF box = document.documentLayout()->blockBoundingRect(block);
        const int page = page_of(box.top() + lines->lineAt(0).y(), page_height);
        int line = 1;
        while (line < lines->lineCount() &&
               page_of(box.top() + lines->lineAt(line).y(), page_height) == page) {
            ++line;
        }
        const QTextBlockFormat whole = block.blockFormat();
        QTextBlockFormat first = whole;
        first.setBottomMargin(0);
        if (line == lines->lineCount()) {
            if (box.bottom() > (page + 1) * page_height) {
                QTextCursor(block).setBlockFormat(first);
                lay_out_whole(document);
            }
            continue;
        }
        QTextCursor(block).setBlockFormat(first);
        QTextCursor cursor(block);
        cursor.setPosition(block.position() + lines->lineAt(line).textStart());
        cursor.insertBlock();
        QTextBlockFormat rest = whole;
        rest.setTopMargin(0);
        if (QTextList* list = cursor.currentList()) {
            rest.setIndent(list->format().indent());
            list->remove(cursor.block());
        }
        cursor.setBlockFormat(rest);
        lay_out_whole(document);
    }
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
    lay_out_whole(document);
    keep_headings_with_text(document, page.height());
    keep_paragraphs_on_their_pages(document, page.height());
    QPainter painter(&writer);
    if (!painter.isActive()) {
        return fail(options.output + ": the PDF could not be started");
    }
    const int pages = document.pageCount();
    for (int index = 0; index < pages; ++index) {
        if (index > 0) {
            writer.newPage();
        }
        // Every paragraph keeps to its page, its box at most touching the
        // page's top or foot; the clip stops just inside both, so that a
        // paragraph touching them from the page before or after is left out.
        const QRectF shown(0, index * page.height() + 0.01, page.width(), page.height() - 0.02);
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
