#include "ui/dialogs/preferences_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "corvale/text_ids.h"
#include "ui/common/field_caption.h"
#include "ui/common/file_dialogs.h"
#include "ui/common/ui_text.h"

namespace corvale {

namespace {

enum Row {
    folder_row,
    limits_row,
    notifications_row,
    tray_row,
    clipboard_row,
    language_row,
    buttons_row
};

QCheckBox* switch_box(int label, bool on, QWidget* parent) {
    auto* box = new QCheckBox(text(label), parent);
    box->setChecked(on);
    return box;
}

}  // namespace

CPreferences_dlg::CPreferences_dlg(Prompter& prompter, Profile& profile,
                                   const Global_limits* limits, QWidget* parent)
    : QDialog(parent),
      prompter_(prompter),
      profile_(profile),
      preferences_(read_preferences(profile)),
      limits_(limits != nullptr ? *limits : Global_limits{}),
      language_(profile.read_int(k_settings_section, L"language", k_language_arabic) ==
                        k_language_arabic
                    ? k_language_arabic
                    : k_language_english),
      choose_folder_([this](QWidget* owner) {
          return choose_folder(
              owner, texts::select_folder,
              user_start_folder(Start_for::downloads, profile_, from_qt_path(folder_->text())));
      }) {
    setObjectName("preferences");
    setWindowTitle(text(texts::preferences_title));
    auto* grid = new QGridLayout(this);

    folder_ = new QLineEdit(to_qt_path(preferences_.default_folder), this);
    folder_->setLayoutDirection(Qt::LeftToRight);  // a path reads left to right
    folder_->setPlaceholderText(text(texts::preferences_folder_hint));
    folder_->setAccessibleDescription(text(texts::preferences_folder_hint));
    folder_->setCursorPosition(0);  // a long path shows from its start
    folder_->setMinimumWidth(fontMetrics().averageCharWidth() * 45);
    browse_ = new QPushButton(text(texts::preferences_browse), this);
    grid->addWidget(field_caption(texts::preferences_folder_field, folder_, this), folder_row, 0);
    grid->addWidget(folder_, folder_row, 1);
    grid->addWidget(browse_, folder_row, 2);

    if (limits != nullptr) {
        auto* group = new QGroupBox(text(texts::preferences_limits), this);
        group->setAccessibleName(text(texts::preferences_limits));
        form_ = new Speed_limit_form(*limits, group);
        (new QVBoxLayout(group))->addWidget(form_);
        grid->addWidget(group, limits_row, 0, 1, 3);
    }
    notifications_ = switch_box(texts::preferences_notifications, preferences_.notifications, this);
    tray_ = switch_box(texts::preferences_keep_in_tray, preferences_.keep_in_tray, this);
    clipboard_ = switch_box(texts::preferences_watch_clipboard, preferences_.watch_clipboard, this);
    grid->addWidget(notifications_, notifications_row, 0, 1, 3);
    grid->addWidget(tray_, tray_row, 0, 1, 3);
    grid->addWidget(clipboard_, clipboard_row, 0, 1, 3);

    // Each language by its own name, as the Language menu shows it.
    language_box_ = new QComboBox(this);
    language_box_->addItem(text(texts::english).remove('&'));
    language_box_->addItem(text(texts::arabic).remove('&'));
    language_box_->setCurrentIndex(language_ == k_language_arabic ? 1 : 0);
    // A row of its own: its long caption does not widen the folder's.
    auto* language_line = new QHBoxLayout;
    language_line->addWidget(field_caption(texts::preferences_language_field, language_box_, this));
    language_line->addWidget(language_box_);
    language_line->addStretch(1);
    grid->addLayout(language_line, language_row, 0, 1, 3);

    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(text(texts::ok), QDialogButtonBox::AcceptRole);
    buttons->addButton(text(texts::cancel), QDialogButtonBox::RejectRole);
    ok_->setDefault(true);  // Enter presses OK
    grid->addWidget(buttons, buttons_row, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    setMinimumWidth(fontMetrics().averageCharWidth() * 80);
    connect(buttons, &QDialogButtonBox::accepted, this, &CPreferences_dlg::ok);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse_, &QPushButton::clicked, this, &CPreferences_dlg::browse);

    // The fields from top to bottom, OK and Cancel last.
    QWidget* previous = browse_;
    setTabOrder(folder_, browse_);
    if (form_ != nullptr) {
        setTabOrder(browse_, form_->first_field());
        previous = form_->last_field();
    }
    for (QWidget* next :
         std::initializer_list<QWidget*>{notifications_, tray_, clipboard_, language_box_}) {
        setTabOrder(previous, next);
        previous = next;
    }
}

void CPreferences_dlg::browse() {
    if (const auto folder = choose_folder_(this)) {
        folder_->setText(to_qt_path(*folder));
    }
}

void CPreferences_dlg::ok() {
    Preferences accepted;
    accepted.default_folder = from_qt_path(folder_->text());
    if (const int refusal = check_default_folder(accepted.default_folder); refusal != 0) {
        prompter_.show_message(format_message(refusal, {embed_data(accepted.default_folder)}));
        folder_->setFocus(Qt::OtherFocusReason);
        folder_->selectAll();
        return;
    }
    std::optional<Global_limits> limits = limits_;
    if (form_ != nullptr && !(limits = form_->read(prompter_))) {
        return;
    }
    accepted.notifications = notifications_->isChecked();
    accepted.keep_in_tray = tray_->isChecked();
    accepted.watch_clipboard = clipboard_->isChecked();
    write_preferences(profile_, accepted);
    preferences_ = accepted;
    limits_ = *limits;
    language_ = language_box_->currentIndex() == 1 ? k_language_arabic : k_language_english;
    accept();
}

}  // namespace corvale
