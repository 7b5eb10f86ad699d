#pragma once

#include <string>

namespace corvale {

// Thrown by value when a list file cannot be loaded; the catcher shows the
// message and goes on.
class Settings_file_error {
  public:
    explicit Settings_file_error(std::wstring message) : message_(std::move(message)) {}
    std::wstring message() const { return message_; }

  private:
    std::wstring message_;
};

}  // namespace corvale
