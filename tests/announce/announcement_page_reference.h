#pragma once
// The announcement parse as it was first written, kept to judge the linear one against: it cuts
// the rest of the page down record by record and looks for each paragraph's "</P>" afresh, so a
// page of unclosed paragraphs costs time with the square of its records. Plain and obviously
// right for small pages; never use it on large ones.

#include <string>
#include <string_view>
#include <vector>

#include "announce/announcement_page.h"
#include "announce/text_trim.h"

namespace reference {

inline std::string ParagraphText(std::string_view paragraph, std::string_view marker) {
    const std::size_t end = paragraph.find(kParagraphEnd);
    if (end == std::string_view::npos) {
        return {};
    }
    return std::string(paragraph.substr(marker.size(), end - marker.size()));
}

// Every record the page gives, with no bound on what the texts total.
inline std::vector<std::string> ParseAnnouncementPage(std::string_view body) {
    std::vector<std::string> items;
    std::string_view rest = body;
    while (!rest.empty()) {
        const std::size_t title = rest.find(kTitleMarker);
        if (title == std::string_view::npos) {
            break;
        }
        rest = TrimBlanks(rest.substr(title));
        const std::size_t address = rest.find(kAddressMarker);
        if (address == std::string_view::npos) {
            break;
        }
        items.push_back(ParagraphText(rest, kTitleMarker));
        rest = TrimBlanks(rest.substr(address));
        items.push_back(ParagraphText(rest, kAddressMarker));
    }
    return items;
}

// What the bounded parse must give: the longest run of whole records from the start whose texts
// total at most the bound's multiple of the page.
inline std::vector<std::string> WithinBound(std::vector<std::string> items, std::size_t pageSize) {
    std::size_t total = 0;
    for (std::size_t i = 0; i + 1 < items.size(); i += 2) {
        total += items[i].size() + items[i + 1].size();
        if (total > pageSize * kMaxRecordBytesPerPageByte) {
            items.resize(i);
            break;
        }
    }
    return items;
}

}  // namespace reference
