#pragma once

// The program's version information, held in one place below every window:
// the About window, the update check and the CLI read it by name.

#include <string>
#include <string_view>

namespace corvale {

// "FileVersion", "ProductVersion", "FileDescription", "ProductName",
// "Comments"; empty for any other name.
std::wstring version_string(std::wstring_view name);

}  // namespace corvale
