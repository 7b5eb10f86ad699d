#include "ui/common/data_cell_delegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>
#include <algorithm>

namespace corvale {

Qt::LayoutDirection Data_cell_delegate::direction_of(const QString& text) {
    return text.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
}

void Data_cell_delegate::initStyleOption(QStyleOptionViewItem* option,
                                         const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    option->direction = direction_of(option->text);
}

void Data_cell_delegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index);
    const QVariant share = index.data(fraction_role);
    if (!share.isValid() || option.rect.width() <= 2) {
        return;
    }
    // The view's direction, not the text's: sizes read left to right, but
    // the bar fills as the rest of a right-to-left window does.
    QRect bar = option.rect.adjusted(1, 1, -1, -1);
    const int filled = qRound(bar.width() * std::clamp(share.value<double>(), 0.0, 1.0));
    if (option.direction == Qt::RightToLeft) {
        bar.setLeft(bar.right() - filled + 1);
    } else {
        bar.setWidth(filled);
    }
    // Drawn over the cell, translucent, in the colour that stands out from
    // the cell's background in the palette in use (selected or not).
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    QColor fill = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Highlight);
    fill.setAlpha(64);
    painter->fillRect(bar, fill);
}

bool Data_cell_delegate::elided(const QAbstractItemView& view, const QModelIndex& index) const {
    QStyleOptionViewItem option;
    option.initFrom(view.viewport());
    option.rect = view.visualRect(index);
    initStyleOption(&option, index);
    const QStyle* style = view.style() != nullptr ? view.style() : QApplication::style();
    const QRect room = style->subElementRect(QStyle::SE_ItemViewItemText, &option, &view);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1;
    return option.fontMetrics.horizontalAdvance(option.text) > room.width() - 2 * margin;
}

bool Data_cell_delegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                   const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() == QEvent::ToolTip && view != nullptr && index.isValid() &&
        elided(*view, index)) {
        QToolTip::showText(event->globalPos(), index.data(Qt::DisplayRole).toString(), view,
                           view->visualRect(index));
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

}  // namespace corvale
