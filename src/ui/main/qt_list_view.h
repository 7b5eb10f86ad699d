#pragma once

#include <QTableWidget>

#include "model/list_view.h"

namespace corvale {

// The download list's rows in a table widget; each row keeps its download
// number as item data of its first cell.
class Qt_list_view : public List_view {
  public:
    explicit Qt_list_view(QTableWidget& table) : table_(table) {}

    int row_count() const override { return table_.rowCount(); }
    void insert_row(int row, const Row_texts& texts, std::int32_t item_data) override;
    void set_text(int row, int column, const std::wstring& text) override;
    std::int32_t item_data(int row) const override;
    void delete_row(int row) override;

  private:
    QTableWidget& table_;
};

}  // namespace corvale
