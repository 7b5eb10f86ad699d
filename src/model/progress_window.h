#pragma once

#include <string>

namespace corvale {

// What the download list hands to a download's progress window.
class Progress_window {
  public:
    virtual ~Progress_window() = default;

    // The link, the full local path, the size ("???" when unknown) and whether
    // the server resumes ("Yes", "No" or "???").
    virtual void set_download_info(const std::wstring& url, const std::wstring& local_path,
                                   const std::wstring& size, const std::wstring& resume) = 0;
};

}  // namespace corvale
