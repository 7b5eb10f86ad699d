#include "ui/main/tray_icon.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>
#include <algorithm>

#include "corvale/text_ids.h"
#include "platform/string_table.h"
#include "ui/common/icons.h"
#include "ui/common/ui_text.h"

namespace corvale {

std::wstring tray_tooltip(const Download_list& list) {
    int running = 0;
    bool sizes_known = true;
    std::uint64_t size = 0;
    std::uint64_t arrived = 0;
    for (const Download_record& record : list.records()) {
        if (record.dlg_ptr == nullptr || !record.running) {
            continue;
        }
        ++running;
        sizes_known = sizes_known && record.file_size > 0;
        size += record.file_size;
        // A download past its announced size counts as whole.
        arrived += std::min<std::uint64_t>(
            record.downloaded > 0 ? static_cast<std::uint64_t>(record.downloaded) : 0,
            record.file_size);
    }
    const std::wstring name = load_string(texts::application_title);
    if (running == 0) {
        return format_message(texts::tray_idle, {name});
    }
    const std::wstring count = std::to_wstring(running);
    if (!sizes_known) {
        return running == 1 ? format_message(texts::tray_one_unknown, {name})
                            : format_message(texts::tray_many_unknown, {name, count});
    }
    // Whole percents, rounded down: 100% only when every byte is there.
    const auto percent = std::to_wstring(static_cast<unsigned>(
        static_cast<long double>(arrived) * 100 / static_cast<long double>(size)));
    return running == 1 ? format_message(texts::tray_one, {name, percent})
                        : format_message(texts::tray_many, {name, count, percent});
}

Tray_icon::Tray_icon(Host host, const Download_list& list, QObject* parent)
    : QObject(parent), host_(std::move(host)), list_(list), menu_(std::make_unique<QMenu>()) {
    menu_->setObjectName("tray_menu");
    window_item_ = menu_->addAction(QString());
    queue_item_ = menu_->addAction(QString());
    menu_->addSeparator();
    exit_item_ = menu_->addAction(text(texts::exit));
    connect(menu_.get(), &QMenu::aboutToShow, this, &Tray_icon::update_menu);
    // Each item acts once its menu has closed, from the event loop.
    connect(window_item_, &QAction::triggered, this, [this] {
        QMetaObject::invokeMethod(
            this, [this] { host_.window_shown() ? host_.hide_window() : host_.show_window(); },
            Qt::QueuedConnection);
    });
    connect(queue_item_, &QAction::triggered, this, [this] {
        QMetaObject::invokeMethod(
            this, [this] { host_.queue_running() ? host_.stop_queue() : host_.start_queue(); },
            Qt::QueuedConnection);
    });
    connect(exit_item_, &QAction::triggered, this,
            [this] { QMetaObject::invokeMethod(this, host_.exit, Qt::QueuedConnection); });
    update_menu();

    icon_ = new QSystemTrayIcon(program_icon("corvale"), this);
    icon_->setContextMenu(menu_.get());
    connect(icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::Trigger || why == QSystemTrayIcon::DoubleClick) {
                    host_.show_window();
                }
            });
    refresh_tooltip(true);
    icon_->show();
}

Tray_icon::~Tray_icon() = default;

void Tray_icon::refresh_tooltip(bool now) {
    constexpr qint64 k_refresh_ms = 500;
    if (!now && since_refresh_.isValid() && since_refresh_.elapsed() < k_refresh_ms) {
        return;
    }
    since_refresh_.start();
    const QString shown = qt(tray_tooltip(list_));
    if (shown != icon_->toolTip()) {
        icon_->setToolTip(shown);
    }
}

QString Tray_icon::tooltip() const {
    return icon_->toolTip();
}

void Tray_icon::update_menu() {
    window_item_->setText(text(host_.window_shown() ? texts::tray_hide : texts::tray_show));
    queue_item_->setText(
        text(host_.queue_running() ? texts::tray_stop_queue : texts::tray_start_queue));
    queue_item_->setEnabled(host_.queue_available());
}

}  // namespace corvale
