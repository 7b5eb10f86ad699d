#include "host/host_config.h"

#include "platform/wide_text.h"

namespace corvale {

std::wstring Host_config::link_marker() const {
    return lower_az(service_label + L"." + top_level_label + L"/files/");
}

}  // namespace corvale
