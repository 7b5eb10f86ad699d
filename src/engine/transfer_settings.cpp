#include "engine/transfer_settings.h"

namespace corvale {

std::shared_ptr<Transfer_settings> make_transfer_settings(Transfer_values values) {
    return std::make_shared<Transfer_settings>(std::move(values));
}

Settings_source settings_or_default(Settings_source settings) {
    return settings ? std::move(settings) : make_transfer_settings();
}

std::shared_ptr<Transfer_settings> make_transfer_settings(Host_config host, Worker_timing timing) {
    Transfer_values values;
    values.host = std::move(host);
    values.timing = std::move(timing);
    return make_transfer_settings(std::move(values));
}

}  // namespace corvale
