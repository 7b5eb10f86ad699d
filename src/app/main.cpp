// corvale [FILE.zrv]: the desktop program. A list file given on the command
// line is loaded as Load List does; when the program runs already, the file
// is handed to it and this start ends.

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

#include "app/tollway_app.h"
#include "corvale/version.h"
#include "platform/wide_text.h"
#include "ui/common/settings_profile.h"

namespace {

constexpr const char* k_usage =
    "usage: corvale [FILE.zrv]\n"
    "  FILE.zrv    a download list to load (handed to the running program when\n"
    "              there is one)\n"
    "  --version   show the program's version\n"
    "  --help      show this text\n";

}  // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so they work without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("corvale %s\n", corvale::encode_utf8(corvale::k_file_version).c_str());
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(k_usage, stdout);
            return 0;
        }
    }
    QApplication application(argc, argv);  // takes Qt's own options out of argv
    std::optional<std::filesystem::path> file;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-' || file) {
            std::fputs(k_usage, stderr);
            return 2;
        }
        std::error_code error;
        const std::filesystem::path given(argv[i]);
        const std::filesystem::path absolute = std::filesystem::absolute(given, error);
        file = error ? given : absolute;
    }
    QApplication::setOrganizationName("Zrv");
    QApplication::setApplicationName("Corvale");
    QApplication::setDesktopFileName("org.example.Corvale");
    corvale::Settings_profile profile;
    corvale::Qt_prompter prompter;
    corvale::CTollwayApp program("Corvale", profile, prompter);
    if (!program.start(QApplication::applicationDirPath().toStdString(), file)) {
        return 0;
    }
    prompter.set_parent(program.main_window());
    return QApplication::exec();
}
