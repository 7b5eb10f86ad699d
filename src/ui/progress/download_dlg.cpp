#include "ui/progress/download_dlg.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

#include "corvale/text_ids.h"
#include "engine/notifications.h"
#include "model/row_texts.h"
#include "platform/string_table.h"
#include "ui/common/field_caption.h"
#include "ui/common/icons.h"
#include "ui/common/ui_text.h"
#include "ui/dialogs/speed_limit_dlg.h"

namespace corvale {

namespace {

constexpr int k_bar_steps = 1000;
// The first width, in average characters: room for every caption and value.
constexpr int k_first_width_chars = 90;
// The values that change with every progress: their changes are announced at
// most once a second, as the bar's.
constexpr int k_paced_values[] = {texts::label_downloaded, texts::label_file_size,
                                  texts::label_elapsed, texts::label_speed, texts::label_time_left};

// Every progress window shows the program's icon. It is drawn from its
// drawing at several sizes, which costs more than the rest of the window: it
// is drawn once and shared.
QIcon window_icon() {
    static const QIcon icon = program_icon("corvale");
    return icon;
}

}  // namespace

// A value that is data (a link, a path): left to right in either language,
// beside its caption, cut with an ellipsis at its end when the window is
// narrow, whole in its tooltip and in its accessible name. A tab stop like
// the other values.
class Elided_label : public Value_label {
  public:
    explicit Elided_label(QWidget* parent) : Value_label(parent) {
        setTextInteractionFlags(Qt::NoTextInteraction);  // it draws its text itself
        setFocusPolicy(Qt::StrongFocus);
    }
    void set_full_text(const QString& text) {
        full_ = text;
        setToolTip(text);
        setAccessibleName(text);
        update();
    }
    const QString& full_text() const { return full_; }
    QSize minimumSizeHint() const override { return {20, QLabel::minimumSizeHint().height()}; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        painter.setLayoutDirection(Qt::LeftToRight);
        const QString shown = fontMetrics().elidedText(full_, Qt::ElideRight, width());
        painter.drawText(rect(), beside_caption(this) | Qt::AlignVCenter | Qt::TextForceLeftToRight,
                         shown);
        if (hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
        }
    }

  private:
    QString full_;
};

CDownload_dlg::CDownload_dlg(Progress_window_host& host, Prompter& prompter,
                             std::int32_t download_number, Settings_source settings)
    : Runner_window(host, prompter, download_number, settings),
      prompter_(prompter),
      start_time_(std::time(nullptr)),
      limits_(settings ? settings->current().speed_limits : nullptr),
      opened_(std::make_shared<Window_target>(this)) {
    setObjectName("download_window");
    setWindowTitle(text(texts::download_caption));
    setWindowIcon(window_icon());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);
    build();
}

CDownload_dlg::~CDownload_dlg() {
    opened_->close();
}

void CDownload_dlg::build() {
    auto* grid = new QGridLayout(this);
    // Captions keep their whole text; each value has room for its longest
    // usual text and stands beside its caption; the link and the path give
    // way when the window is narrow (cut with an ellipsis).
    const auto add_value = [&](int label, int row, int column,
                               std::initializer_list<std::wstring> longest, int span = 1) {
        Value_label* value = new Value_label(this);
        value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        int room = 0;
        for (const std::wstring& sample : longest) {
            room = std::max(room, value->fontMetrics().horizontalAdvance(qt(sample)));
        }
        value->setMinimumWidth(room + 2 * value->margin());
        QLabel* caption = value_caption(label, value, this);
        caption->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
        grid->addWidget(caption, row, column);
        grid->addWidget(value, row, column + 1, 1, span);
        values_[label] = value;
        return value;
    };
    const auto add_data = [&](int label, int row) {
        auto* value = new Elided_label(this);
        QLabel* caption = value_caption(label, value, this);
        caption->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
        grid->addWidget(caption, row, 0);
        grid->addWidget(value, row, 1, 1, 5);
        values_[label] = value;
        return value;
    };
    // The longest usual texts: sizes up to 1 GB (estimated ones too), a run
    // of up to 99 days, a speed of up to 9999 KB/Sec, up to an hour left.
    constexpr std::uint64_t gigabyte = 1024ull * 1024 * 1024;
    const std::wstring largest = size_text(gigabyte - 1);
    url_label_ = add_data(texts::label_url, 0);
    path_label_ = add_data(texts::label_saved_in, 1);
    add_value(texts::label_downloaded, 2, 0, {largest});
    add_value(texts::label_file_size, 2, 2, {largest + load_string(texts::estimated)});
    add_value(texts::label_elapsed, 2, 4, {elapsed_text(99 * 86400 + 86399)});
    add_value(texts::label_speed, 3, 0,
              {speed_text(9999), speed_text(0.99),
               format_message(texts::speed_with_limit,
                              {speed_text(9999), limit_text(999ull * 1024 * 1024)})});
    add_value(texts::label_time_left, 3, 2, {time_left_text(3599)});
    add_value(texts::label_resume, 3, 4, {L"Yes", L"No", L"???"});
    add_value(texts::label_status, 4, 0, {}, 5)->setWordWrap(true);
    add_value(texts::label_last_error, 5, 0, {}, 5)->setWordWrap(true);
    for (const int paced : k_paced_values) {
        values_[paced]->pace_announcements();
    }
    bar_ = new Paced_progress_bar(this);
    bar_->setRange(0, k_bar_steps);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    bar_->setAccessibleName(text(texts::download_caption));
    grid->addWidget(bar_, 6, 0, 1, 6);
    add_value(texts::label_retries, 7, 0, {L"99"});
    limit_ = new QPushButton(text(texts::limit_speed), this);
    limit_->setAutoDefault(false);
    limit_->setVisible(limits_ != nullptr);
    grid->addWidget(limit_, 7, 4, Qt::AlignRight);
    open_ = new QPushButton(text(texts::open_file_button), this);
    open_->setAutoDefault(false);
    open_->setAccessibleName(text(texts::open_file));
    open_->hide();
    cancel_ = new QPushButton(text(texts::cancel), this);
    cancel_->setAutoDefault(false);
    cancel_->setDefault(false);
    // Open stands beside Close once the file is there.
    auto* ends = new QHBoxLayout;
    ends->addStretch(1);
    ends->addWidget(open_);
    ends->addWidget(cancel_);
    grid->addLayout(ends, 7, 5);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setColumnStretch(5, 1);
    connect(cancel_, &QPushButton::clicked, this, [this] { cancel(); });
    connect(open_, &QPushButton::clicked, this, [this] {
        if (opener_) {
            opener_(path());
        }
    });
    // Window-modal, without a loop of its own: the window may end (and be
    // released) while it is open, and takes the dialog with it.
    connect(limit_, &QPushButton::clicked, this, [this] {
        auto* dialog = new CSpeed_limit_dlg(prompter_, limits_->own(download_number()), this);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(dialog, &QDialog::accepted, this,
                [this, dialog] { limits_->set_own(download_number(), dialog->own()); });
        dialog->open();
    });
}

QString CDownload_dlg::value_text(int label) const {
    const auto it = values_.find(label);
    if (it == values_.end()) {
        return {};
    }
    if (const auto* data = dynamic_cast<const Elided_label*>(it->second)) {
        return data->full_text();
    }
    return it->second->text();
}

void CDownload_dlg::show_download_info(const std::wstring&, const std::wstring& resume) {
    url_label_->set_full_text(qt(url()));
    path_label_->set_full_text(qt(path()));
    values_[texts::label_resume]->setText(qt(resume));
    refresh();
}

void CDownload_dlg::refresh() {
    values_[texts::label_downloaded]->set_value(qt(window_texts().downloaded));
    values_[texts::label_file_size]->set_value(qt(window_texts().size));
    values_[texts::label_speed]->set_value(qt(window_texts().speed_and_limit()));
    values_[texts::label_time_left]->set_value(qt(window_texts().time_left));
    values_[texts::label_retries]->set_value(qt(window_texts().retries));
}

void CDownload_dlg::open() {
    // The window keeps the size it opens with as its least width and its
    // only height; the link, the path and the bar grow with its width. It is
    // sized before it is shown: laid out once, and drawn once.
    adjustSize();
    resize(std::max(width(), fontMetrics().averageCharWidth() * k_first_width_chars), height());
    setMinimumWidth(width());
    setFixedHeight(height());
    // Those sizes are the window's limits from now on: the layout no longer
    // works out its least size again for every change of a value.
    layout()->setSizeConstraint(QLayout::SetNoConstraint);
    show();
    raise();
    activateWindow();
    show_start(start());
}

bool CDownload_dlg::event(QEvent* event) {
    if (event->type() != Notification_event::type) {
        return QDialog::event(event);
    }
    // A copy: the question it may lead to runs a nested event loop.
    const Notification report = static_cast<Notification_event*>(event)->notification;
    if (const auto outcome = file_opened(report)) {
        show_start(*outcome);
    }
    return true;
}

void CDownload_dlg::show_start(Download_runner::Start outcome) {
    switch (outcome) {
        case Download_runner::Start::started:
            break;
        case Download_runner::Start::opening:
            return;  // the file's opening reports later
        case Download_runner::Start::url_unusable:
        case Download_runner::Start::name_refused:
            return;  // refused in the window: no file and no worker
        case Download_runner::Start::declined:
        case Download_runner::Start::open_failed:
        case Download_runner::Start::resume_failed:
            setEnabled(false);  // it has asked to be closed
            return;
    }
    url_label_->set_full_text(qt(runner().url()));
    set_title(0);
    values_[texts::label_elapsed]->set_value(qt(elapsed_text(0)));
    values_[texts::label_last_error]->set_value({});
    refresh();
}

void CDownload_dlg::set_title(int percentage) {
    setWindowTitle(qt(format_message(texts::progress_title,
                                     {std::to_wstring(percentage), runner().file_name()})));
}

void CDownload_dlg::disable_cancel() {
    cancel_->setEnabled(false);
}

void CDownload_dlg::show_ended() {
    cancel_->setText(text(texts::close_caption));
}

void CDownload_dlg::show_refused() {
    values_[texts::label_status]->set_value(qt(window_texts().status));
    show_ended();
}

void CDownload_dlg::forward(std::uint32_t message, std::int64_t lparam) {
    switch (message) {
        case UM_PROGRESS:
            if (isMinimized()) {
                progress_unseen_ = lparam;
            } else {
                show_progress(lparam);
            }
            break;
        case UM_FINISHED:
        case UM_ERROR:
            if (progress_unseen_) {
                show_progress(*progress_unseen_);  // the end is shown at once, as it is
            }
            values_[texts::label_status]->set_value(qt(window_texts().status));
            if (message == UM_FINISHED && lparam == 0) {
                bar_->setRange(0, k_bar_steps);  // also when no length was sent
                bar_->show_value(k_bar_steps);
                refresh();  // the size, once known from what was received
                open_->setVisible(static_cast<bool>(opener_));
            }
            // The end is announced at once.
            bar_->settle();
            for (const int paced : k_paced_values) {
                values_[paced]->settle();
            }
            handle_end(message, lparam);
            break;
        case UM_STATUS:
            values_[texts::label_status]->set_value(qt(window_texts().status));
            break;
        case UM_CONTENT_LENGTH: {
            // Without a length the bar shows that something goes on, not how
            // much of it is done.
            const auto length = static_cast<std::uint64_t>(lparam);
            divisor_ = length >= k_bar_steps ? length / k_bar_steps : 1;
            if (progress_unseen_) {
                progress_unseen_ = 0;  // a new reply starts
            }
            bar_->setRange(0, length == 0 ? 0 : k_bar_steps);
            bar_->show_value(0);
            bar_->settle();
            break;
        }
        case UM_RETRY_COUNT:
            refresh();
            break;
        case UM_LAST_ERROR:
            values_[texts::label_last_error]->set_value(qt(window_texts().last_error));
            break;
        default:
            break;
    }
}

void CDownload_dlg::show_progress(std::int64_t downloaded) {
    progress_unseen_.reset();
    bar_->show_value(static_cast<int>(
        std::min<std::uint64_t>(static_cast<std::uint64_t>(downloaded) / divisor_, k_bar_steps)));
    values_[texts::label_elapsed]->set_value(
        qt(elapsed_text(static_cast<std::int64_t>(std::time(nullptr) - start_time_))));
    refresh();
}

void CDownload_dlg::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && !isMinimized() && progress_unseen_) {
        show_progress(*progress_unseen_);
    }
}

void CDownload_dlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();  // Enter ends nothing
        return;
    }
    QDialog::keyPressEvent(event);
}

void CDownload_dlg::reject() {
    cancel();  // Esc
}

void CDownload_dlg::closeEvent(QCloseEvent* event) {
    event->ignore();  // the host destroys the window once it has asked to be closed
    cancel();
}

}  // namespace corvale
