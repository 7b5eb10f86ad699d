#include "ui/main/tollway_dlg.h"

// The main window's desktop notifications (a download's end, the queue's
// end) and the clipboard watch that offers a copied file link for adding.

#include <QAccessible>
#include <QClipboard>
#include <QDBusConnection>
#include <QGuiApplication>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <algorithm>

#include "engine/preferences.h"
#include "host/file_host.h"
#include "model/duplicate_check.h"
#include "model/row_texts.h"
#include "platform/url.h"
#include "ui/common/desktop_notifier.h"
#include "ui/common/field_caption.h"
#include "ui/common/file_dialogs.h"
#include "ui/common/ui_text.h"

namespace corvale {

namespace {

// How much of a copied link the status line shows.
constexpr int k_offer_chars = 60;
// A longer copied text is no link to offer: a page address is at most this
// long, and the text would go whole to the notification service.
constexpr qsizetype k_longest_link = 2083;

// Keys of the notifications' actions; "default" is a click on the
// notification itself.
const QString k_default = QStringLiteral("default");
const QString k_open = QStringLiteral("open");
const QString k_open_folder = QStringLiteral("open-folder");
const QString k_add = QStringLiteral("add");

QDBusConnection notification_bus(const QString& address) {
    if (address.isEmpty()) {
        return QDBusConnection::sessionBus();
    }
    return QDBusConnection::connectToBus(address, QStringLiteral("corvale-notifications"));
}

}  // namespace

void CTollwayDlg::build_notifications() {
    notifier_ = std::make_unique<Desktop_notifier>(notification_bus(services_.notification_bus));
    notice_timer_.setSingleShot(true);
    connect(&notice_timer_, &QTimer::timeout, this, &CTollwayDlg::show_notices);

    clipboard_offer_ = new QPushButton(this);
    clipboard_offer_->setFlat(true);
    clipboard_offer_->setFocusPolicy(Qt::TabFocus);
    clipboard_offer_->hide();
    statusBar()->addWidget(clipboard_offer_);
    setTabOrder(limit_status_, clipboard_offer_);
    connect(clipboard_offer_, &QPushButton::clicked, this, [this] {
        clipboard_offer_->hide();
        offer_to_add(offered_link_);
    });
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        connect(clipboard, &QClipboard::dataChanged, this, &CTollwayDlg::clipboard_changed);
    }
}

bool CTollwayDlg::notifications_on() const {
    // Read when needed, so that a change in the preferences applies at once.
    return !control_->closing() && read_preferences(services_.profile).notifications;
}

void CTollwayDlg::download_ended(std::int32_t download_number, bool succeeded) {
    const Download_record* record = services_.list.find(download_number);
    if (record == nullptr || !notifications_on()) {
        return;
    }
    notices_.add({record->file_name, record->status_text, full_local_path(*record), record->folder,
                  succeeded});
    wait_for_notices();
}

void CTollwayDlg::queue_finished() {
    if (!notifications_on()) {
        return;
    }
    notices_.add_queue_finished();
    wait_for_notices();
}

void CTollwayDlg::wait_for_notices() {
    if (!notice_timer_.isActive()) {
        notice_timer_.start(
            static_cast<int>(notices_.due_in().value_or(Notice_merger::k_gather).count()));
    }
}

void CTollwayDlg::show_notices() {
    if (!notifications_on()) {
        notices_.clear();
        return;
    }
    const std::optional<Notice> notice = notices_.take();
    if (!notice) {
        if (const auto left = notices_.due_in()) {
            notice_timer_.start(static_cast<int>(left->count()));
        }
        return;
    }
    Desktop_notifier::Actions actions;
    const QString file = to_qt_path(notice->file);
    const QString folder = to_qt_path(notice->folder);
    if (!file.isEmpty()) {
        actions << qMakePair(k_default, text(texts::notice_open))
                << qMakePair(k_open, text(texts::notice_open));
    } else if (!folder.isEmpty()) {
        actions << qMakePair(k_default, text(texts::notice_open_folder));
    }
    if (!folder.isEmpty()) {
        actions << qMakePair(k_open_folder, text(texts::notice_open_folder));
    }
    notifier_->show(qt(notice->title), qt(notice->body), actions,
                    [this, file, folder](const QString& key) {
                        QString target;
                        if (key == k_open || key == k_default) {
                            target = file.isEmpty() ? folder : file;
                        } else if (key == k_open_folder) {
                            target = folder;
                        }
                        if (target.isEmpty()) {
                            return;
                        }
                        services_.prompter.when_free([this, target] {
                            if (!control_->closing()) {
                                open_or_say(QUrl::fromLocalFile(target), texts::not_opened,
                                            from_qt_path(target));
                            }
                        });
                    });
}

void CTollwayDlg::clipboard_changed() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr || !read_preferences(services_.profile).watch_clipboard) {
        return;
    }
    const QString copied = clipboard->text().trimmed();
    // The same text copied again (or the clipboard taken over by another
    // program with what it held) is not offered twice in a row.
    if (copied.isEmpty() || copied.size() > k_longest_link || copied == last_copied_) {
        return;
    }
    last_copied_ = copied;
    if (copied.contains(QRegularExpression(QStringLiteral("\\s")))) {
        return;  // a text, not a link
    }
    const std::wstring link = copied.toStdWString();
    const std::optional<Parsed_url> parsed = parse_url(link);
    const Settings_source settings = settings_or_default(services_.settings);
    if (!parsed || !make_file_host(settings->current().host)->file_link(*parsed)) {
        return;
    }
    const auto& records = services_.list.records();
    if (std::any_of(records.begin(), records.end(),
                    [&](const Download_record& record) { return same_link(record.url, link); })) {
        return;  // in the list already
    }
    offered_link_ = copied;
    const QString shown =
        copied.size() > k_offer_chars ? copied.left(k_offer_chars - 1) + QChar(0x2026) : copied;
    clipboard_offer_->setText(qt(format_message(texts::clipboard_offer, {shown.toStdWString()})));
    clipboard_offer_->setAccessibleName(qt(format_message(texts::clipboard_offer_name, {link})));
    clipboard_offer_->setToolTip(copied);
    clipboard_offer_->show();
    QAccessibleEvent shown_event(clipboard_offer_, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&shown_event);
    if (notifications_on()) {
        notifier_->show(text(texts::clipboard_link_title), copied,
                        {qMakePair(k_default, text(texts::notice_add)),
                         qMakePair(k_add, text(texts::notice_add))},
                        [this, copied](const QString& key) {
                            if (key == k_add || key == k_default) {
                                offer_to_add(copied);
                            }
                        });
    }
}

void CTollwayDlg::offer_to_add(const QString& link) {
    services_.prompter.when_free([this, link] {
        const QAction* add = action(cmd_add_download);
        if (control_->closing() || (add != nullptr && !add->isEnabled())) {
            return;  // as the Add command would be refused now
        }
        if (offered_link_ == link) {
            clipboard_offer_->hide();
        }
        bring_to_front();
        add_command(link.toStdWString());
    });
}

}  // namespace corvale
