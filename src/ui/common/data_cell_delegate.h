#pragma once

// Table cells that hold data as well as words. Each cell is laid out in the
// direction of its own text (its first strong character; left to right when
// it has none), so paths, links, file names and sizes read as in English
// inside a right-to-left table and are elided at their end. A cell whose text
// does not fit shows the whole text as its tooltip. A cell that holds a
// share from 0 to 1 in fraction_role has a bar of that share behind its
// text, growing from the leading edge of the view (the right in a
// right-to-left one), light enough that the text stays readable.

#include <QStyledItemDelegate>

namespace corvale {

class Data_cell_delegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static constexpr int fraction_role = Qt::UserRole + 100;

    static Qt::LayoutDirection direction_of(const QString& text);
    // Whether the cell's text is wider than the room the cell gives it.
    bool elided(const QAbstractItemView& view, const QModelIndex& index) const;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

}  // namespace corvale
