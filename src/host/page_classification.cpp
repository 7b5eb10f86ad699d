#include "host/page_classification.h"

#include <string_view>

#include "corvale/text_ids.h"

namespace corvale {

namespace {

constexpr std::wstring_view k_not_found = L"ERROR: File not found";
constexpr std::wstring_view k_error = L"ERROR: ";
constexpr std::wstring_view k_download_marker = L"#!download";
constexpr std::wstring_view k_premium = L"remium";

void replace_closing_quotes(std::wstring& page) {
    for (std::size_t i = page.find(L"\";"); i != std::wstring::npos; i = page.find(L"\";", i + 2)) {
        page[i] = L'|';
    }
}

}  // namespace

Page_classification classify_page(std::wstring& page) {
    Page_classification result;
    if (page.find(k_not_found) != std::wstring::npos) {
        result.verdict = Page_verdict::not_found;
        return result;
    }
    if (page.find(k_error) == std::wstring::npos) {
        replace_closing_quotes(page);
    }
    const std::size_t marker = page.find(k_download_marker);
    if (marker != std::wstring::npos) {
        std::size_t bars[5];
        std::size_t from = marker;
        for (std::size_t& bar : bars) {
            bar = page.find(L'|', from);
            if (bar == std::wstring::npos) {
                result.verdict = Page_verdict::not_found;
                return result;
            }
            from = bar + 1;
        }
        result.file_name = page.substr(bars[2] + 1, bars[3] - bars[2] - 1);
        result.size = page.substr(bars[3] + 1, bars[4] - bars[3] - 1);
    }
    const std::size_t premium = page.find(k_premium);
    const bool premium_first =
        premium != std::wstring::npos && marker != std::wstring::npos && premium < marker;
    result.verdict = premium_first ? Page_verdict::premium_required : Page_verdict::verified;
    return result;
}

int verdict_message(Page_verdict verdict) {
    switch (verdict) {
        case Page_verdict::not_found:
            return texts::file_not_found;
        case Page_verdict::premium_required:
            return texts::premium_required;
        case Page_verdict::verified:
            break;
    }
    return texts::verified_link;
}

}  // namespace corvale
