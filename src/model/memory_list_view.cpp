#include <algorithm>

#include "model/list_view.h"

namespace corvale {

void Memory_list_view::insert_row(int row, const Row_texts& texts, std::int32_t item_data) {
    const auto at = std::clamp(row, 0, row_count());
    rows_.insert(rows_.begin() + at, Row{texts, item_data});
}

void Memory_list_view::set_text(int row, int column, const std::wstring& text) {
    if (row >= 0 && row < row_count() && column >= 0 && column < k_column_count) {
        rows_[static_cast<std::size_t>(row)].texts[static_cast<std::size_t>(column)] = text;
    }
}

std::int32_t Memory_list_view::item_data(int row) const {
    return row >= 0 && row < row_count() ? rows_[static_cast<std::size_t>(row)].item_data : -1;
}

void Memory_list_view::delete_row(int row) {
    if (row >= 0 && row < row_count()) {
        rows_.erase(rows_.begin() + row);
    }
}

}  // namespace corvale
