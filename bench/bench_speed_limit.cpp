// COUNT downloads at once in one process under one global speed limit, from
// the local file host that bench/speed_limit.sh starts and names through
// http_proxy. Each download is SECONDS of its share of the limit long, so the
// whole run should take SECONDS. Reports the achieved rate against the
// limit, each download's rate against its share, and the CPU time taken.
//   bench_speed_limit OUT_DIR RATE COUNT SECONDS FIRST_ID

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "engine/download_runner.h"
#include "engine/notification_queue.h"
#include "engine/notifications.h"
#include "engine/speed_limits.h"

namespace {

using Clock = std::chrono::steady_clock;

double cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Nothing is asked in this run; a question would be a fault of the set-up.
class Refusing_prompter : public corvale::Prompter {
  public:
    void show_message(const std::wstring&) override { std::cerr << "unexpected message\n"; }
    bool ask_yes_no(const std::wstring&) override { return false; }
    Answer ask_yes_no_cancel(const std::wstring&) override { return Answer::cancel; }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::cerr << "usage: bench_speed_limit OUT_DIR RATE COUNT SECONDS FIRST_ID\n";
        return 2;
    }
    const std::wstring out = std::filesystem::path(argv[1]).wstring();
    const std::uint64_t rate = std::strtoull(argv[2], nullptr, 10);
    const int count = std::atoi(argv[3]);
    const double seconds = std::atof(argv[4]);
    const int first_id = std::atoi(argv[5]);
    const auto bytes = static_cast<std::uint64_t>(static_cast<double>(rate) * seconds / count);

    auto limits = corvale::Speed_limits::make();
    limits->set_global({rate, {}});
    auto settings = corvale::make_transfer_settings();
    settings->change([&](corvale::Transfer_values& values) {
        values.timing.second = std::chrono::milliseconds(1);
        values.speed_limits = limits;
    });

    Refusing_prompter prompter;
    auto queue = std::make_shared<corvale::Notification_queue>();
    std::vector<std::unique_ptr<corvale::Download_runner>> runners;
    std::vector<double> took(static_cast<std::size_t>(count), 0.0);
    const double cpu_before = cpu_seconds();
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < count; ++i) {
        runners.push_back(std::make_unique<corvale::Download_runner>(prompter, settings));
        const std::wstring url = L"http://rapidshare.com/files/" + std::to_wstring(first_id + i) +
                                 L"/limited" + std::to_wstring(i) + L".bin";
        if (runners.back()->start(i, url, out, L"limited" + std::to_wstring(i) + L".bin", queue) !=
            corvale::Download_runner::Start::started) {
            std::cerr << "download " << i << " did not start\n";
            return 1;
        }
    }
    int left = count;
    while (left > 0) {
        const auto n = queue->pop(std::chrono::seconds(120));
        if (!n) {
            std::cerr << "no word from the downloads for two minutes\n";
            return 1;
        }
        if (n->kind == corvale::UM_FINISHED) {
            took[static_cast<std::size_t>(n->sender)] =
                std::chrono::duration<double>(Clock::now() - start).count();
            --left;
        } else if (n->kind == corvale::UM_ERROR && corvale::error_ends_worker(n->value)) {
            std::cerr << "download " << n->sender << " failed\n";
            return 1;
        }
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = cpu_seconds() - cpu_before;
    for (auto& runner : runners) {
        runner->finished(true);
        runner->stop_quietly();
    }
    const double target = static_cast<double>(rate);
    const double achieved = static_cast<double>(bytes) * count / wall;
    double worst_share = 1.0;
    for (const double t : took) {
        const double share = static_cast<double>(bytes) / t / (target / count);
        worst_share = std::abs(share - 1.0) > std::abs(worst_share - 1.0) ? share : worst_share;
    }
    std::printf("limit_MiBps %.2f downloads %d bytes_each %llu\n", target / 1048576.0, count,
                static_cast<unsigned long long>(bytes));
    std::printf("wall_s %.2f achieved_MiBps %.3f achieved/target %.4f\n", wall,
                achieved / 1048576.0, achieved / target);
    std::printf("furthest_share/target %.4f\n", worst_share);
    std::printf("cpu_s %.3f cpu_s_per_s %.4f\n", cpu, cpu / wall);
    return 0;
}
