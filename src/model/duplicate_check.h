#pragma once

// Whether a link or a local file is already in the list. The index answers
// in constant time, so adding or merging thousands of records stays fast.

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>

#include "model/download_record.h"

namespace corvale {

struct Duplicate_result {
    bool name_free = true;    // no record has the same folder and file name
    bool url_free = true;     // no record has the same link
    bool same_record = true;  // the first name match and the first link match are one record
};

// Two links are the same when their service, port and object (ignoring A-Z
// case) agree and their host labels agree: a server name of two labels has an
// empty first label, which counts as "www", so "host.com" and "www.host.com"
// are one host; names of one label or of four and more have no labels at all.
// A link the URL parser refuses is the same only as an identical text.
std::wstring link_key(std::wstring_view url);
inline bool same_link(std::wstring_view a, std::wstring_view b) {
    return link_key(a) == link_key(b);
}

// Download numbers of the list's records by local file and by link. Records
// are appended with ever greater numbers, so the smallest number of a key is
// the first record in list order that has it.
class Duplicate_index {
  public:
    void add(const Download_record& record);
    void remove(const Download_record& record);
    void clear();

    Duplicate_result check(std::wstring_view url, std::wstring_view file_name,
                           std::wstring_view folder) const;

  private:
    using Numbers = std::set<std::int32_t>;
    std::unordered_map<std::wstring, Numbers> by_name_;
    std::unordered_map<std::wstring, Numbers> by_link_;
};

}  // namespace corvale
