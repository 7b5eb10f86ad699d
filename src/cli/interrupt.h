#pragma once

// Ctrl-C for commands that run a transfer: while an Interrupt_guard lives,
// SIGINT, SIGTERM and SIGHUP only raise a flag that the command's loop looks
// at, so the transfer ends as a cancel and no partial file is left behind
// under its final name unless the user asked for it.

namespace corvale {

class Interrupt_guard {
  public:
    Interrupt_guard();
    ~Interrupt_guard();
    Interrupt_guard(const Interrupt_guard&) = delete;
    Interrupt_guard& operator=(const Interrupt_guard&) = delete;

    static bool interrupted();
    // For tests: behave as if Ctrl-C had been pressed. Any thread.
    static void raise_for_test();
};

}  // namespace corvale
