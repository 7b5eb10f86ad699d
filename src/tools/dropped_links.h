#pragma once

// What a drop on the download list holds: a list file to load, one file link
// to add, several to grab, or nothing the list takes.

#include <string>
#include <vector>

#include "host/host_config.h"

namespace corvale {

struct Dropped {
    enum class Kind { refused, list_file, one_link, several_links };
    Kind kind = Kind::refused;
    // The list file's path, the link (as it was written), or the text that
    // holds the links.
    std::wstring value;
};

// `local_files`: the paths of the dropped local files; `links`: the other
// dropped URLs; `text`: the dropped plain text, looked at only when no URL
// came with it. One local file named "*.zrv" is a list file; any other local
// file refuses the drop. Links are the file host's file links found as the
// links grabber finds them in pasted text; the same link twice counts once.
Dropped classify_drop(const std::vector<std::wstring>& local_files,
                      const std::vector<std::wstring>& links, const std::wstring& text,
                      const Host_config& host);

}  // namespace corvale
