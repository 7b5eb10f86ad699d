#pragma once

// The main window's list of downloads as the model sees it: rows of fourteen
// texts, each row carrying a download number as its item data.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace corvale {

inline constexpr int k_column_count = 14;
using Row_texts = std::array<std::wstring, k_column_count>;

class List_view {
  public:
    virtual ~List_view() = default;

    virtual int row_count() const = 0;
    virtual void insert_row(int row, const Row_texts& texts, std::int32_t item_data) = 0;
    virtual void set_text(int row, int column, const std::wstring& text) = 0;
    virtual std::int32_t item_data(int row) const = 0;
    virtual void delete_row(int row) = 0;
};

// A list view without a window: the CLI's, and the one tests look into.
class Memory_list_view : public List_view {
  public:
    struct Row {
        Row_texts texts;
        std::int32_t item_data = 0;
    };

    int row_count() const override { return static_cast<int>(rows_.size()); }
    void insert_row(int row, const Row_texts& texts, std::int32_t item_data) override;
    void set_text(int row, int column, const std::wstring& text) override;
    std::int32_t item_data(int row) const override;
    void delete_row(int row) override;

    const std::vector<Row>& rows() const { return rows_; }

  private:
    std::vector<Row> rows_;
};

}  // namespace corvale
