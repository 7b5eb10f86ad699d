#include <QApplication>

#include "app/tollway_app.h"
#include "ui/common/settings_profile.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName("Zrv");
    QApplication::setApplicationName("Corvale");
    corvale::Settings_profile profile;
    corvale::Qt_prompter prompter;
    corvale::CTollwayApp program("Corvale", profile, prompter);
    if (!program.start(QApplication::applicationDirPath().toStdString())) {
        return 0;
    }
    prompter.set_parent(program.main_window());
    return QApplication::exec();
}
