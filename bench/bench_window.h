#pragma once

// What the window benchmarks share: a list file of COUNT downloads from the
// local file host (ids FIRST_ID...) into OUT, and a profile in OUT that
// makes the program start in English on that list.

#include <QString>
#include <string>

#include "model/list_file.h"
#include "support/scripted_prompter.h"
#include "ui/common/settings_profile.h"

namespace corvale::bench {

// The list file's path.
inline std::wstring write_bench_list(const QString& out, int count, int first_id,
                                     const std::wstring& prefix) {
    testing::Scripted_prompter prompter;  // nothing is asked
    Memory_profile list_profile;
    Download_list list(prompter, list_profile);
    Memory_list_view view;
    for (int i = 0; i < count; ++i) {
        const std::wstring name = prefix + std::to_wstring(i) + L".bin";
        list.add_download(
            name, L"", view,
            L"http://rapidshare.com/files/" + std::to_wstring(first_id + i) + L"/" + name,
            out.toStdWString());
    }
    const std::wstring path = (out + "/" + QString::fromStdWString(prefix) + ".zrv").toStdWString();
    save_list(list, path);
    return path;
}

inline void start_on_list(Settings_profile& profile, const std::wstring& list_path) {
    profile.write_int(k_settings_section, L"language", k_language_english);
    profile.write_string(k_settings_section, L"last_list", list_path);
}

}  // namespace corvale::bench
