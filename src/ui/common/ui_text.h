#pragma once

// Texts of the windows: every label comes from the string table of the
// current language, by its id: text(texts::menu_file).

#include <QString>
#include <string>

#include "corvale/text_ids.h"
#include "platform/string_table.h"

namespace corvale {

inline QString text(int id) {
    return QString::fromStdWString(load_string(id));
}
inline QString qt(const std::wstring& text) {
    return QString::fromStdWString(text);
}

}  // namespace corvale
