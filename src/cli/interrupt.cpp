#include "cli/interrupt.h"

#include <signal.h>

#include <csignal>
#include <iterator>

namespace corvale {

namespace {

// Only a signal handler writes it, so it has to be a plain global.
volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void on_interrupt(int) {
    g_interrupted = 1;
}

// Ctrl-C, kill's default signal and a closed terminal all end a transfer the
// same way: cancelled, with the partial file handled as the user said.
constexpr int k_signals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[std::size(k_signals)];

}  // namespace

Interrupt_guard::Interrupt_guard() {
    g_interrupted = 0;
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(k_signals); ++i) {
        ::sigaction(k_signals[i], &action, &g_previous[i]);
    }
}

Interrupt_guard::~Interrupt_guard() {
    for (std::size_t i = 0; i < std::size(k_signals); ++i) {
        ::sigaction(k_signals[i], &g_previous[i], nullptr);
    }
    g_interrupted = 0;
}

bool Interrupt_guard::interrupted() {
    return g_interrupted != 0;
}

void Interrupt_guard::raise_for_test() {
    g_interrupted = 1;
}

}  // namespace corvale
