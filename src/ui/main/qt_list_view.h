#pragma once

#include <QTableWidget>
#include <functional>
#include <memory>
#include <optional>
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
    // How much of a download's file is there (0 to 1) for its download
    // number; none while its size is unknown. The Progress column's cells
    // give it as Data_cell_delegate::fraction_role, and as a percentage
    // after their text to screen readers.
    using Progress = std::function<std::optional<double>(std::int32_t download_number)>;
    void set_progress(Progress progress) { *progress_ = std::move(progress); }

    int row_count() const override { return table_.rowCount(); }
    void insert_row(int row, const Row_texts& texts, std::int32_t item_data) override;
    void set_text(int row, int column, const std::wstring& text) override;
    std::int32_t item_data(int row) const override;
    void delete_row(int row) override;

  private:
    QTableWidget& table_;
    // Shared with the cells, which may outlive the view as the table's children.
    std::shared_ptr<Tooltip> tooltip_ = std::make_shared<Tooltip>();
    std::shared_ptr<Progress> progress_ = std::make_shared<Progress>();
};

}  // namespace corvale
