#include "platform/version_info.h"

#include "corvale/version.h"

namespace corvale {

std::wstring version_string(std::wstring_view name) {
    if (name == L"FileVersion" || name == L"ProductVersion") {
        return k_file_version;
    }
    if (name == L"FileDescription" || name == L"ProductName") {
        return k_product_name;
    }
    if (name == L"Comments") {
        return k_comments;
    }
    return {};
}

}  // namespace corvale
