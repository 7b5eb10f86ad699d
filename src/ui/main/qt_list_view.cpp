#include "ui/main/qt_list_view.h"

namespace corvale {

namespace {

QTableWidgetItem* cell(const std::wstring& text) {
    auto* item = new QTableWidgetItem(QString::fromStdWString(text));
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

}  // namespace

void Qt_list_view::insert_row(int row, const Row_texts& texts, std::int32_t item_data) {
    row = std::clamp(row, 0, table_.rowCount());
    table_.insertRow(row);
    for (int column = 0; column < k_column_count; ++column) {
        table_.setItem(row, column, cell(texts[static_cast<std::size_t>(column)]));
    }
    table_.item(row, 0)->setData(Qt::UserRole, item_data);
}

void Qt_list_view::set_text(int row, int column, const std::wstring& text) {
    if (QTableWidgetItem* item = table_.item(row, column)) {
        item->setText(QString::fromStdWString(text));
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
