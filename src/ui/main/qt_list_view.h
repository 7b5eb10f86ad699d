#pragma once

#include <QTableWidget>
#include <functional>
#include <memory>
#include <string>

#include "model/list_view.h"

namespace corvale {

// The download list's rows in a table widget; each row keeps its download
// number as item data of its first cell.
class Qt_list_view : public List_view {
  public:
    // A row's tooltip for its download number, worked out when it is shown;
    // empty: none.
    using Tooltip = std::function<std::wstring(std::int32_t download_number)>;

    explicit Qt_list_view(QTableWidget& table) : table_(table) {}

    void set_tooltip(Tooltip tooltip) { *tooltip_ = std::move(tooltip); }

    int row_count() const override { return table_.rowCount(); }
    void insert_row(int row, const Row_texts& texts, std::int32_t item_data) override;
    void set_text(int row, int column, const std::wstring& text) override;
    std::int32_t item_data(int row) const override;
    void delete_row(int row) override;

  private:
    QTableWidget& table_;
    // Shared with the cells, which may outlive the view as the table's children.
    std::shared_ptr<Tooltip> tooltip_ = std::make_shared<Tooltip>();
};

}  // namespace corvale
