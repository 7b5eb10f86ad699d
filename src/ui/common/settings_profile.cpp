#include "ui/common/settings_profile.h"

namespace corvale {

namespace {

QString path_of(std::wstring_view section, std::wstring_view key) {
    return QString::fromStdWString(std::wstring(section)) + "/" +
           QString::fromStdWString(std::wstring(key));
}

}  // namespace

Settings_profile::Settings_profile() : settings_(std::make_unique<QSettings>("Zrv", "Corvale")) {}

Settings_profile::Settings_profile(const QString& ini_path)
    : settings_(std::make_unique<QSettings>(ini_path, QSettings::IniFormat)) {}

int Settings_profile::read_int(std::wstring_view section, std::wstring_view key,
                               int fallback) const {
    bool ok = false;
    const int value = settings_->value(path_of(section, key), fallback).toInt(&ok);
    return ok ? value : fallback;
}

void Settings_profile::write_int(std::wstring_view section, std::wstring_view key, int value) {
    settings_->setValue(path_of(section, key), value);
    settings_->sync();
}

std::wstring Settings_profile::read_string(std::wstring_view section, std::wstring_view key,
                                           std::wstring_view fallback) const {
    return settings_->value(path_of(section, key), QString::fromStdWString(std::wstring(fallback)))
        .toString()
        .toStdWString();
}

void Settings_profile::write_string(std::wstring_view section, std::wstring_view key,
                                    std::wstring_view value) {
    settings_->setValue(path_of(section, key), QString::fromStdWString(std::wstring(value)));
    settings_->sync();
}

}  // namespace corvale
