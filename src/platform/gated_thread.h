#pragma once

// A thread that is created first and runs its body only once its gate is
// opened: the owner sets the worker's fields in between.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace corvale {

class Gated_thread {
  public:
    Gated_thread() = default;
    ~Gated_thread() { join(); }
    Gated_thread(const Gated_thread&) = delete;
    Gated_thread& operator=(const Gated_thread&) = delete;

    // Creates the thread, waiting at its gate. False when it cannot be created
    // or one exists already.
    bool start(std::function<void()> body);
    // Opens the gate; false when there is no thread.
    bool resume();
    // Opens the gate if it is still shut (the body runs and must see the stop
    // its owner signalled) and waits for the thread to end.
    void join();
    bool exists() const { return thread_.joinable(); }

  private:
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable gate_changed_;
    bool gate_open_ = false;
};

}  // namespace corvale
