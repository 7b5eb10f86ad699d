#include "ui/main/qt_list_view.h"

#include "model/row_texts.h"
#include "platform/string_table.h"
#include "ui/common/data_cell_delegate.h"
#include "ui/common/ui_text.h"

namespace corvale {

namespace {

// A cell of the list. The Auto column's mark is read as a word, not as the
// sign; it is worked out when asked for, so that a change of the mark is one
// change of the cell. So is the row's tooltip, which follows what changes
// without the row (the speed limits), and the Progress column's share of
// the file, which follows its size as well as its bytes.
class Cell : public QTableWidgetItem {
  public:
    Cell(const std::wstring& text, std::shared_ptr<const Qt_list_view::Tooltip> tooltip,
         std::shared_ptr<const Qt_list_view::Progress> progress)
        : QTableWidgetItem(QString::fromStdWString(text)),
          tooltip_(std::move(tooltip)),
          progress_(std::move(progress)) {
        setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    }
    QVariant data(int role) const override {
        if (column() == col_progress &&
            (role == Data_cell_delegate::fraction_role || role == Qt::AccessibleTextRole)) {
            if (const std::optional<double> fraction = this->fraction()) {
                if (role == Data_cell_delegate::fraction_role) {
                    return *fraction;
                }
                // Whole percents, rounded down: 100 % once every byte is there.
                const int percent = static_cast<int>(*fraction * 100.0);
                return QString::fromStdWString(format_message(
                    texts::progress_read_as, {text().toStdWString(), std::to_wstring(percent)}));
            }
        }
        if (role == Qt::AccessibleTextRole && column() == col_auto && !text().isEmpty()) {
            return corvale::text(texts::auto_queued);
        }
        if (role == Qt::ToolTipRole && *tooltip_ && tableWidget() != nullptr) {
            const QTableWidgetItem* first = tableWidget()->item(row(), 0);
            const std::wstring tip =
                first != nullptr ? (*tooltip_)(first->data(Qt::UserRole).toInt()) : L"";
            return tip.empty() ? QVariant() : QVariant(QString::fromStdWString(tip));
        }
        return QTableWidgetItem::data(role);
    }

  private:
    std::optional<double> fraction() const {
        if (!*progress_ || tableWidget() == nullptr) {
            return std::nullopt;
        }
        const QTableWidgetItem* first = tableWidget()->item(row(), 0);
        return first != nullptr ? (*progress_)(first->data(Qt::UserRole).toInt()) : std::nullopt;
    }

    std::shared_ptr<const Qt_list_view::Tooltip> tooltip_;
    std::shared_ptr<const Qt_list_view::Progress> progress_;
};

}  // namespace

void Qt_list_view::insert_row(int row, const Row_texts& texts, std::int32_t item_data) {
    row = std::clamp(row, 0, table_.rowCount());
    table_.insertRow(row);
    for (int column = 0; column < k_column_count; ++column) {
        table_.setItem(row, column,
                       new Cell(texts[static_cast<std::size_t>(column)], tooltip_, progress_));
    }
    table_.item(row, 0)->setData(Qt::UserRole, item_data);
}

void Qt_list_view::set_text(int row, int column, const std::wstring& text) {
    if (QTableWidgetItem* item = table_.item(row, column)) {
        item->setText(QString::fromStdWString(text));
    }
    // A size that became known (or was taken from what was received) moves
    // the Progress column's bar.
    if (column == col_size) {
        if (const QTableWidgetItem* progress = table_.item(row, col_progress)) {
            table_.viewport()->update(table_.visualItemRect(progress));
        }
    }
}

std::int32_t Qt_list_view::item_data(int row) const {
    const QTableWidgetItem* item = table_.item(row, 0);
    return item != nullptr ? item->data(Qt::UserRole).toInt() : -1;
}

void Qt_list_view::delete_row(int row) {
    if (row >= 0 && row < table_.rowCount()) {
        table_.removeRow(row);
    }
}

}  // namespace corvale
