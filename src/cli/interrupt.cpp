#include "cli/interrupt.h"

#include <signal.h>

#include <atomic>
#include <iterator>

namespace corvale {

namespace {

// Written by the signal handler and, in tests, by another thread than the
// one whose loop reads it: an atomic serves both, as long as it needs no lock
// (a handler that interrupts a locked update would wait for ever).
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler may not take a lock");

extern "C" void on_interrupt(int) {
    g_interrupted.store(true);
}

// Ctrl-C, kill's default signal and a closed terminal all end a transfer the
// same way: cancelled, with the partial file handled as the user said.
constexpr int k_signals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[std::size(k_signals)];

}  // namespace

Interrupt_guard::Interrupt_guard() {
    g_interrupted.store(false);
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
    g_interrupted.store(false);
}

bool Interrupt_guard::interrupted() {
    return g_interrupted.load();
}

void Interrupt_guard::raise_for_test() {
    g_interrupted.store(true);
}

}  // namespace corvale
