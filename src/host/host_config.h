#pragma once

// The file host's names. Tests and the local file host replace them.

#include <string>

namespace corvale {

struct Host_config {
    std::wstring api_server = L"api.rapidshare.com";  // every API request goes here
    std::wstring service_label = L"rapidshare";       // the domain is service.top_level
    std::wstring top_level_label = L"com";

    // The domain followed by "/files/", in lower case: what link extraction
    // looks for in pages.
    std::wstring link_marker() const;
};

}  // namespace corvale
