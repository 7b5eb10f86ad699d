#pragma once

// The application profile in QSettings: organisation "Zrv", application
// "Corvale", each section a group ("settings").

#include <QSettings>
#include <memory>

#include "platform/profile.h"

namespace corvale {

class Settings_profile : public Profile {
  public:
    // The user's profile of the program.
    Settings_profile();
    // A profile kept in an INI file (tests).
    explicit Settings_profile(const QString& ini_path);

    int read_int(std::wstring_view section, std::wstring_view key, int fallback) const override;
    void write_int(std::wstring_view section, std::wstring_view key, int value) override;
    std::wstring read_string(std::wstring_view section, std::wstring_view key,
                             std::wstring_view fallback) const override;
    void write_string(std::wstring_view section, std::wstring_view key,
                      std::wstring_view value) override;

  private:
    std::unique_ptr<QSettings> settings_;
};

}  // namespace corvale
