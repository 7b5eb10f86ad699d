// A long run of the real main window (offscreen): COUNT downloads go through
// the automatic queue ROUNDS times from the local file host that
// bench/soak.sh starts (some refused once with a wait, some missing on the
// host). After the first round and after the last it reads the process's
// resident memory, open file descriptors and threads from /proc/self, and
// reports the growth. Exit status 1 when descriptors or threads were left
// behind.
//   bench_soak OUT_DIR COUNT ROUNDS FIRST_ID

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTableWidget>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include "app/tollway_app.h"
#include "bench_window.h"
#include "support/event_loop.h"

namespace {

struct Sample {
    long rss_kib = 0;
    long descriptors = 0;
    long threads = 0;
};

long count_entries(const char* folder) {
    long entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++entries;
    }
    return entries;
}

Sample sample() {
    Sample taken;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:")) {
            taken.rss_kib = std::stol(line.substr(6));
        }
    }
    taken.descriptors = count_entries("/proc/self/fd");
    taken.threads = count_entries("/proc/self/task");
    return taken;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc != 5) {
        std::cerr << "usage: bench_soak OUT_DIR COUNT ROUNDS FIRST_ID\n";
        return 2;
    }
    const QString out = argv[1];
    const int count = std::atoi(argv[2]);
    const int rounds = std::atoi(argv[3]);
    const int first_id = std::atoi(argv[4]);

    corvale::testing::Scripted_prompter prompter;  // nothing is asked in this run
    corvale::Settings_profile profile(out + "/profile.ini");
    corvale::bench::start_on_list(profile,
                                  corvale::bench::write_bench_list(out, count, first_id, L"soak"));
    corvale::CTollwayApp app("corvale-bench-soak", profile, prompter);
    app.set_worker_timing(corvale::Worker_timing{std::chrono::milliseconds(10), {}});
    if (!app.start(".")) {
        return 1;
    }
    corvale::CTollwayDlg& window = *app.main_window();
    QTableWidget& table = window.list_view_widget();

    Sample first;
    for (int round = 1; round <= rounds; ++round) {
        for (const QString& name : QDir(out).entryList({"soak*.bin"}, QDir::Files)) {
            QFile::remove(QDir(out).filePath(name));
        }
        table.selectAll();
        window.action(corvale::cmd_add_to_auto)->trigger();
        QElapsedTimer timer;
        timer.start();
        const bool ended = corvale::testing::run_until(
            [&] {
                return !window.control().automatic_active() && window.control().open_windows() == 0;
            },
            std::chrono::minutes(15));
        if (!ended) {
            std::cerr << "round " << round << " did not end\n";
            return 1;
        }
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const Sample now = sample();
        std::cout << "round " << round << " s " << timer.elapsed() / 1000.0 << " rss_kib "
                  << now.rss_kib << " fds " << now.descriptors << " threads " << now.threads
                  << std::endl;
        if (round == 1) {
            first = now;
        }
    }
    const Sample last = sample();
    std::cout << "growth after round 1: rss_kib " << last.rss_kib - first.rss_kib << " fds "
              << last.descriptors - first.descriptors << " threads " << last.threads - first.threads
              << "\n";
    return last.descriptors > first.descriptors || last.threads > first.threads ? 1 : 0;
}
