#include "model/duplicate_check.h"

#include <algorithm>
#include <array>

#include "platform/url.h"
#include "platform/wide_text.h"

namespace corvale {

namespace {

// Labels are compared last, middle, first; the key holds them in that order.
std::array<std::wstring, 3> host_labels(const std::wstring& server) {
    std::array<std::wstring, 3> labels;  // last, middle, first
    const auto dots = std::count(server.begin(), server.end(), L'.');
    const std::size_t first_dot = server.find(L'.');
    const std::size_t last_dot = server.rfind(L'.');
    if (dots == 2) {
        labels = {server.substr(last_dot + 1),
                  server.substr(first_dot + 1, last_dot - first_dot - 1),
                  server.substr(0, first_dot)};
    } else if (dots == 1) {
        labels = {server.substr(first_dot + 1), server.substr(0, first_dot), L""};
    }
    if (labels[2].empty()) {
        labels[2] = L"www";
    }
    return labels;
}

std::wstring name_key(std::wstring_view folder, std::wstring_view file_name) {
    std::wstring key = lower_az(folder);
    key += L'\0';
    key += lower_az(file_name);
    return key;
}

std::int32_t first(const std::unordered_map<std::wstring, std::set<std::int32_t>>& map,
                   const std::wstring& key) {
    const auto it = map.find(key);
    return it == map.end() ? -1 : *it->second.begin();
}

void erase_number(std::unordered_map<std::wstring, std::set<std::int32_t>>& map,
                  const std::wstring& key, std::int32_t number) {
    const auto it = map.find(key);
    if (it != map.end() && it->second.erase(number) != 0 && it->second.empty()) {
        map.erase(it);
    }
}

}  // namespace

std::wstring link_key(std::wstring_view url) {
    const auto parsed = parse_url(url);
    if (!parsed) {
        return L"!" + lower_az(url);
    }
    std::wstring key = std::to_wstring(static_cast<std::uint32_t>(parsed->service));
    key += L':';
    key += std::to_wstring(parsed->port);
    for (const std::wstring& label : host_labels(parsed->server)) {
        key += L'\0';
        key += lower_az(label);
    }
    key += L'\0';
    key += lower_az(parsed->object);
    return key;
}

void Duplicate_index::add(const Download_record& record) {
    by_name_[name_key(record.folder, record.file_name)].insert(record.download_number);
    by_link_[link_key(record.url)].insert(record.download_number);
}

void Duplicate_index::remove(const Download_record& record) {
    erase_number(by_name_, name_key(record.folder, record.file_name), record.download_number);
    erase_number(by_link_, link_key(record.url), record.download_number);
}

void Duplicate_index::clear() {
    by_name_.clear();
    by_link_.clear();
}

Duplicate_result Duplicate_index::check(std::wstring_view url, std::wstring_view file_name,
                                        std::wstring_view folder) const {
    const std::int32_t name_match = first(by_name_, name_key(folder, file_name));
    const std::int32_t link_match = first(by_link_, link_key(url));
    return {name_match < 0, link_match < 0, name_match == link_match};
}

}  // namespace corvale
