#include "cli/interrupt.h"

#include <csignal>

namespace corvale {

namespace {

// Only a signal handler writes it, so it has to be a plain global.
volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void on_interrupt(int) {
    g_interrupted = 1;
}

using Handler = void (*)(int);
Handler g_previous = SIG_DFL;

}  // namespace

Interrupt_guard::Interrupt_guard() {
    g_interrupted = 0;
    g_previous = std::signal(SIGINT, on_interrupt);
}

Interrupt_guard::~Interrupt_guard() {
    std::signal(SIGINT, g_previous == SIG_ERR ? SIG_DFL : g_previous);
    g_interrupted = 0;
}

bool Interrupt_guard::interrupted() {
    return g_interrupted != 0;
}

void Interrupt_guard::raise_for_test() {
    g_interrupted = 1;
}

}  // namespace corvale
