#pragma once

#include <string>

namespace corvale {

// What the download list hands to a download's progress window.
class Progress_window {
  public:
    virtual ~Progress_window() = default;

    // The link, the folder and the file name (apart, so that the name can be
    // checked on its own before a file is opened), the size ("???" when
    // unknown) and whether the server resumes ("Yes", "No" or "???").
    virtual void set_download_info(const std::wstring& url, const std::wstring& folder,
                                   const std::wstring& file_name, const std::wstring& size,
                                   const std::wstring& resume) = 0;
};

}  // namespace corvale
