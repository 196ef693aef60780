#include "announce/announcement_page.h"

#include "announce/text_trim.h"

namespace {

// The text between a marker at the start of `paragraph` and the first paragraph end after it;
// empty when the paragraph is never closed.
std::string ParagraphText(std::string_view paragraph, std::string_view marker) {
    const std::size_t end = paragraph.find(kParagraphEnd);
    if (end == std::string_view::npos) {
        return {};
    }
    // The rest starts with the marker and the marker holds no "</P>", so end >= marker size.
    return std::string(paragraph.substr(marker.size(), end - marker.size()));
}

}  // namespace

std::vector<std::string> ParseAnnouncementPage(std::string_view body) {
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
            // Nothing after this title could ever become its address: the scan would stand
            // still here, so it ends, and the unpaired title is dropped.
            break;
        }
        items.push_back(ParagraphText(rest, kTitleMarker));
        rest = TrimBlanks(rest.substr(address));
        items.push_back(ParagraphText(rest, kAddressMarker));
    }
    return items;
}

Announcements ReadAnnouncements(std::string_view body) {
    Announcements result;
    result.items = ParseAnnouncementPage(body);
    if (result.items.size() > kLatestVersionItem) {
        result.latestVersion = result.items[kLatestVersionItem];
    }
    return result;
}
