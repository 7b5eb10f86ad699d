#include "app/tollway_app.h"

#include <QApplication>

#include "app/about_dlg.h"

namespace corvale {

CTollwayApp::CTollwayApp(QString instance_name, Profile& profile, Prompter& prompter)
    : instance_(instance_name), profile_(profile), prompter_(prompter) {}

CTollwayApp::~CTollwayApp() = default;

bool CTollwayApp::start(const std::filesystem::path& program_directory) {
    if (!instance_.claim()) {
        return false;
    }
    language_ = choose_language(profile_, prompter_, program_directory);
    QApplication::setLayoutDirection(language_ == Language::arabic ? Qt::RightToLeft
                                                                   : Qt::LeftToRight);
    program_directory_ = program_directory;
    list_ = std::make_unique<Download_list>(prompter_, profile_);
    window_ = std::make_unique<CTollwayDlg>(CTollwayDlg::Services{
        *list_, prompter_, profile_, [](QWidget* parent) { CAboutDlg(parent).exec(); }});
    QObject::connect(&instance_, &Single_instance::raise_requested, window_.get(), [this] {
        window_->show();
        window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
        window_->raise();
        window_->activateWindow();
    });
    window_->show();
    window_->load_last_list();
    return true;
}

}  // namespace corvale
