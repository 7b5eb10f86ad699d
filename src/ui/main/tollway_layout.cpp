#include "ui/main/tollway_dlg.h"

// The main window's size and its list's columns: the widths a first start
// gives them, and what the profile keeps of them between runs.
#include <QHeaderView>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableWidget>
#include <algorithm>
#include <ctime>
#include <numeric>

#include "model/row_texts.h"
#include "platform/profile.h"
#include "ui/common/data_cell_delegate.h"
#include "ui/common/ui_text.h"

namespace corvale {

namespace {

constexpr int k_pixels_per_character = 11;
// Columns whose width follows the length of their header text, and the fixed
// widths of the others: the least each column gets.
constexpr int k_measured_columns[] = {0, 1, 5, 7, 8, 9, 10, 11};
constexpr std::pair<int, int> k_fixed_widths[] = {{2, 250}, {3, 160},  {4, 140},
                                                  {6, 90},  {12, 190}, {13, 390}};
// A first start shows the columns from No. to Speed whole on a 1366 x 768
// screen; a smaller screen gets a smaller window.
constexpr QSize k_first_size(1280, 640);
constexpr int k_widest_column = 10000;

constexpr std::wstring_view k_geometry_key = L"window_geometry";
// Texts of the other language need other widths: each direction keeps its own.
constexpr std::wstring_view k_widths_key = L"column_widths";
constexpr std::wstring_view k_right_to_left_widths_key = L"column_widths_rtl";
constexpr std::wstring_view k_order_key = L"column_order";

// What a column usually shows while downloads run, in the current language.
std::vector<std::wstring> usual_texts(int column) {
    constexpr std::uint64_t mib = 1024 * 1024;
    switch (column) {
        case col_number:
            return {L"999"};
        case col_status:
            return {load_string(texts::finished_downloading),
                    countdown_text(texts::wait_countdown, 103),
                    countdown_text(texts::retry_countdown, 103)};
        case col_progress:
        case col_size:
            return {size_text(999 * mib + mib / 2)};
        case col_time_left:
            return {time_left_text(59 * 60 + 59)};
        case col_speed:
            return {speed_text(6183.0)};
        case col_retries:
            return {L"99"};
        case col_added_at:
            return {time_stamp(std::time(nullptr))};
        default:
            return {};
    }
}

QString joined(const std::vector<int>& numbers) {
    QStringList parts;
    for (const int number : numbers) {
        parts << QString::number(number);
    }
    return parts.join(',');
}

// One number per column, or nothing when the text is not that.
std::optional<std::vector<int>> column_numbers(const std::wstring& stored) {
    const QStringList parts = qt(stored).split(',');
    if (parts.size() != k_column_count) {
        return std::nullopt;
    }
    std::vector<int> numbers;
    for (const QString& part : parts) {
        bool ok = false;
        numbers.push_back(part.trimmed().toInt(&ok));
        if (!ok) {
            return std::nullopt;
        }
    }
    return numbers;
}

}  // namespace

std::wstring_view CTollwayDlg::widths_key() const {
    return layoutDirection() == Qt::RightToLeft ? k_right_to_left_widths_key : k_widths_key;
}

int CTollwayDlg::cell_width(const QString& sample) const {
    QStyleOptionViewItem option;
    option.initFrom(table_->viewport());
    option.features = QStyleOptionViewItem::HasDisplay;
    option.text = sample;
    option.direction = Data_cell_delegate::direction_of(sample);
    option.displayAlignment = Qt::AlignLeading | Qt::AlignVCenter;
    const QSize size =
        table_->style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), table_);
    return size.width() + (table_->showGrid() ? 1 : 0) + 2;
}

void CTollwayDlg::set_default_widths() {
    QHeaderView& header = *table_->horizontalHeader();
    // The least widths come from the header texts' lengths; the style's own
    // minimum, which grows with the font, must not override them.
    header.setMinimumSectionSize(k_pixels_per_character);
    for (const int column : k_measured_columns) {
        const auto length = static_cast<int>(services_.list.column_titles().at(column).size());
        table_->setColumnWidth(column, length * k_pixels_per_character);
    }
    for (const auto& [column, width] : k_fixed_widths) {
        table_->setColumnWidth(column, width);
    }
    // A column is widened where its header or its usual text would be cut.
    for (int column = 0; column < k_column_count; ++column) {
        int width = std::max(table_->columnWidth(column), header.sectionSizeHint(column));
        for (const std::wstring& sample : usual_texts(column)) {
            width = std::max(width, cell_width(qt(sample)));
        }
        table_->setColumnWidth(column, width);
    }
}

void CTollwayDlg::restore_layout() {
    const auto stored = [this](std::wstring_view key) {
        return services_.profile.read_string(k_settings_section, key, L"");
    };
    const QByteArray geometry = QByteArray::fromBase64(qt(stored(k_geometry_key)).toLatin1(),
                                                       QByteArray::AbortOnBase64DecodingErrors);
    if (geometry.isEmpty() || !restoreGeometry(geometry)) {
        QSize size = k_first_size;
        if (const QScreen* shown_on = screen()) {
            // Room for the window's frame and the desktop's panels.
            const QRect room = shown_on->availableGeometry();
            size = size.boundedTo(room.size() - QSize(40, 80));
        }
        resize(size);
    }
    QHeaderView& header = *table_->horizontalHeader();
    if (const auto widths = column_numbers(stored(widths_key()));
        widths && std::all_of(widths->begin(), widths->end(), [&](int width) {
            return width >= header.minimumSectionSize() && width <= k_widest_column;
        })) {
        for (int column = 0; column < k_column_count; ++column) {
            table_->setColumnWidth(column, (*widths)[static_cast<std::size_t>(column)]);
        }
    }
    // The order: the column shown at each place, left to right (right to left
    // in Arabic); each column once.
    if (auto order = column_numbers(stored(k_order_key))) {
        std::vector<int> sorted = *order;
        std::sort(sorted.begin(), sorted.end());
        std::vector<int> all(k_column_count);
        std::iota(all.begin(), all.end(), 0);
        if (sorted == all) {
            for (int place = 0; place < k_column_count; ++place) {
                header.moveSection(header.visualIndex((*order)[static_cast<std::size_t>(place)]),
                                   place);
            }
        }
    }
}

void CTollwayDlg::store_layout() {
    const QHeaderView& header = *table_->horizontalHeader();
    std::vector<int> widths;
    std::vector<int> order;
    for (int column = 0; column < k_column_count; ++column) {
        widths.push_back(table_->columnWidth(column));
        order.push_back(header.logicalIndex(column));
    }
    Profile& profile = services_.profile;
    profile.write_string(k_settings_section, k_geometry_key,
                         QString::fromLatin1(saveGeometry().toBase64()).toStdWString());
    profile.write_string(k_settings_section, widths_key(), joined(widths).toStdWString());
    profile.write_string(k_settings_section, k_order_key, joined(order).toStdWString());
}

}  // namespace corvale
