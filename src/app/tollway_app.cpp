#include "app/tollway_app.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>

#include <cstdio>

#include "app/about_dlg.h"
#include "corvale/text_ids.h"
#include "engine/limit_profile.h"
#include "platform/file_io.h"
#include "platform/string_table.h"
#include "platform/wide_text.h"

namespace corvale {

CTollwayApp::CTollwayApp(QString instance_name, Profile& profile, Prompter& prompter)
    : instance_(instance_name), profile_(profile), prompter_(prompter) {}

Transfer_values CTollwayApp::with_speed_limits() {
    Transfer_values values;
    values.speed_limits = Speed_limits::make();
    return values;
}

CTollwayApp::~CTollwayApp() {
    if (qt_translator_) {
        QCoreApplication::removeTranslator(qt_translator_.get());
    }
}

void CTollwayApp::load_qt_translations() {
    if (qt_translator_) {
        QCoreApplication::removeTranslator(qt_translator_.get());
        qt_translator_.reset();
    }
    if (language_ != Language::arabic) {
        return;
    }
    // Qt's own dialogs and buttons speak Arabic too. Without the translations
    // installed they stay English; nothing else depends on them.
    auto translator = std::make_unique<QTranslator>();
    if (translator->load(QLocale(QLocale::Arabic), "qtbase", "_",
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator.get());
        qt_translator_ = std::move(translator);
    }
}

void CTollwayApp::report_no_channel() {
    // A second start would not find this one; the user learns why (also on
    // a terminal, where a message box may go unseen).
    const std::wstring text = format_message(texts::runs_not_alone, {instance_.failure()});
    std::fprintf(stderr, "corvale: %s\n", encode_utf8(text).c_str());
    prompter_.show_message(text);
}

bool CTollwayApp::start(const std::filesystem::path& program_directory,
                        const std::optional<std::filesystem::path>& file) {
    const Single_instance::Claim claim = instance_.claim(file);
    if (claim == Single_instance::Claim::another_runs) {
        return false;
    }
    const std::filesystem::path data_directory = find_data_directory(program_directory);
    language_ = choose_language(profile_, prompter_, data_directory);
    QApplication::setLayoutDirection(language_ == Language::arabic ? Qt::RightToLeft
                                                                   : Qt::LeftToRight);
    load_qt_translations();
    program_directory_ = program_directory;
    // A test may have given limits of its own (with its own clock).
    if (const auto limits = settings_->current().speed_limits) {
        limits->set_global(read_global_limits(profile_));
    }
    list_ = std::make_unique<Download_list>(prompter_, profile_);
    window_ = std::make_unique<CTollwayDlg>(CTollwayDlg::Services{
        *list_, prompter_, profile_, [](QWidget* parent) { CAboutDlg(parent).exec(); }, settings_,
        choose_list_file_, data_directory, open_url_, Update_source{}, notification_bus_});
    QObject::connect(&instance_, &Single_instance::raise_requested, window_.get(),
                     [this] { window_->bring_to_front(); });
    QObject::connect(&instance_, &Single_instance::open_requested, window_.get(),
                     [this](const std::filesystem::path& requested) {
                         window_->open_list_file(from_path(requested));
                     });
    // The rows are there before the window shows; a failure to load them is
    // shown over the window, not over an empty screen.
    const std::optional<std::wstring> failure = window_->load_last_list();
    window_->show();
    if (claim == Single_instance::Claim::failed) {
        report_no_channel();
    }
    if (failure) {
        prompter_.show_message(*failure);
    }
    if (file) {
        window_->open_list_file(from_path(*file));
    }
    return true;
}

}  // namespace corvale
