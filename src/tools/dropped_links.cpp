#include "tools/dropped_links.h"

#include <algorithm>
#include <set>

#include "host/file_host.h"
#include "host/link_extraction.h"
#include "platform/wide_text.h"

namespace corvale {

namespace {

bool is_list_file(const std::wstring& path) {
    constexpr std::wstring_view suffix = L".zrv";
    if (path.size() <= suffix.size() || path.back() == L'/') {
        return false;
    }
    return std::equal(suffix.rbegin(), suffix.rend(), path.rbegin(),
                      [](wchar_t a, wchar_t b) { return a == fold_az(b); }) &&
           path[path.size() - suffix.size() - 1] != L'/';
}

// Extraction lowercases what it finds (and drops a "www." or "https"); the
// link keeps the letters it was written with, so that a file name taken from
// it keeps them too.
std::wstring as_written(const std::wstring& text, const std::wstring& found) {
    const std::size_t scheme = found.find(L"://");
    if (scheme == std::wstring::npos) {
        return found;
    }
    const std::wstring_view tail = std::wstring_view(found).substr(scheme + 3);
    const auto at = std::search(text.begin(), text.end(), tail.begin(), tail.end(),
                                [](wchar_t a, wchar_t b) { return fold_az(a) == fold_az(b); });
    if (at == text.end()) {
        return found;
    }
    return found.substr(0, scheme + 3) + std::wstring(at, at + static_cast<long>(tail.size()));
}

}  // namespace

Dropped classify_drop(const std::vector<std::wstring>& local_files,
                      const std::vector<std::wstring>& links, const std::wstring& text,
                      const Host_config& host) {
    if (!local_files.empty()) {
        if (local_files.size() == 1 && links.empty() && is_list_file(local_files.front())) {
            return {Dropped::Kind::list_file, local_files.front()};
        }
        return {};
    }
    std::wstring written;
    if (links.empty()) {
        written = text;
    } else {
        for (const std::wstring& link : links) {
            written += link + L"\n";
        }
    }
    std::wstring searched = split_pasted_links(written);
    const Extracted_links found = make_file_host(host)->extract_links(searched);
    const std::set<std::wstring> distinct(found.links.begin(), found.links.end());
    if (distinct.empty()) {
        return {};
    }
    if (distinct.size() == 1) {
        return {Dropped::Kind::one_link, as_written(written, *distinct.begin())};
    }
    return {Dropped::Kind::several_links, written};
}

}  // namespace corvale
