// Many downloads started by hand at once in the real main window (under the
// offscreen platform), from the local file host that bench/gui_downloads.sh
// starts and names through http_proxy. Measures how late a 10 ms repeating
// timer of the GUI thread fires while they run (p50, p99, max), the longest
// stall of the GUI thread (the longest gap between two of its ticks), the
// process's CPU time, the GUI thread's own, and the aggregate throughput.
// With CORVALE_BENCH_GAPS set, each gap above 16 ms is listed with when it
// ended, to find what stalls.
//   bench_gui_downloads OUT_DIR COUNT BYTES FIRST_ID

#include <sys/resource.h>
#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <vector>

#include "app/tollway_app.h"
#include "bench_window.h"
#include "model/row_texts.h"

namespace {

double cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double thread_cpu_seconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double percentile(std::vector<double> values, double share) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1));
    return values[at];
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc != 5) {
        std::cerr << "usage: bench_gui_downloads OUT_DIR COUNT BYTES FIRST_ID\n";
        return 2;
    }
    const QString out = argv[1];
    const int count = std::atoi(argv[2]);
    const double bytes = std::atof(argv[3]);
    const int first_id = std::atoi(argv[4]);

    corvale::testing::Scripted_prompter prompter;  // nothing is asked in this run
    corvale::Settings_profile profile(out + "/profile.ini");
    corvale::bench::start_on_list(profile,
                                  corvale::bench::write_bench_list(out, count, first_id, L"gui"));
    corvale::CTollwayApp app("corvale-bench-gui", profile, prompter);
    if (!app.start(".")) {
        return 1;
    }
    corvale::CTollwayDlg& window = *app.main_window();
    QTableWidget& table = window.list_view_widget();

    std::vector<double> lateness_ms;
    double longest_gap_ms = 0.0;
    const bool list_gaps = qEnvironmentVariableIsSet("CORVALE_BENCH_GAPS");
    QElapsedTimer clock;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(10);
    qint64 last = 0;
    double last_cpu = 0.0;
    const auto finished = [&] {
        int done = 0;
        for (int row = 0; row < table.rowCount(); ++row) {
            done += table.item(row, corvale::col_status)->text() == "Finished Downloading File";
        }
        return done;
    };
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        const double gap_ms = static_cast<double>(now - last) / 1e6;
        lateness_ms.push_back(std::max(0.0, gap_ms - 10.0));
        longest_gap_ms = std::max(longest_gap_ms, gap_ms);
        const double thread_cpu = list_gaps ? thread_cpu_seconds() : 0.0;
        if (list_gaps && gap_ms > 16.0) {
            // The GUI thread's own CPU time in the gap: what it did, against
            // the time it waited for a processor.
            std::cout << "gap_ms " << gap_ms << " gui_cpu_ms " << (thread_cpu - last_cpu) * 1e3
                      << " ending_at_s " << static_cast<double>(now) / 1e9 << "\n";
        }
        last = now;
        last_cpu = thread_cpu;
        if (finished() == count) {
            application.quit();
        }
    });
    table.selectAll();
    // The memory the script filled for this run is given back only now, as
    // the downloads start: memory that lies free for a while costs more to
    // fill again in a virtual machine, and the window's start-up takes time.
    if (const QByteArray warm = qgetenv("CORVALE_BENCH_WARM"); !warm.isEmpty()) {
        std::remove(warm.constData());
    }
    const double cpu_before = cpu_seconds();
    const double gui_cpu_before = thread_cpu_seconds();
    last_cpu = gui_cpu_before;
    clock.start();
    tick.start();
    window.action(corvale::cmd_download)->trigger();
    application.exec();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const double cpu = cpu_seconds() - cpu_before;
    const double gui_cpu = thread_cpu_seconds() - gui_cpu_before;
    std::cout << "downloads " << count << " x " << bytes / 1048576.0 << " MiB\n"
              << "wall_s " << seconds << "\n"
              << "cpu_s " << cpu << "\n"
              << "gui_thread_cpu_s " << gui_cpu << "\n"
              << "throughput_MBps " << bytes * count / seconds / 1e6 << "\n"
              << "lateness_ms p50 " << percentile(lateness_ms, 0.5) << " p99 "
              << percentile(lateness_ms, 0.99) << " max " << percentile(lateness_ms, 1.0) << "\n"
              << "longest_stall_ms " << longest_gap_ms << "\n";
    return 0;
}
