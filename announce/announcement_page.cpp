#include "announce/announcement_page.h"

#include <cstddef>

namespace {

constexpr std::size_t kNone = std::string_view::npos;

// The first "</P>" at or after a position that only moves forward through the page. A close found
// once (or found missing) stays the answer until the position passes it, so a page whose
// paragraphs are never closed is searched once in all rather than once per record.
class TParagraphEnds {
  public:
    explicit TParagraphEnds(std::string_view body) : body_(body) {}

    std::size_t From(std::size_t at) {
        const bool stillValid =
            searched_ && at >= searchedFrom_ && (found_ == kNone || found_ >= at);
        if (!stillValid) {
            found_ = body_.find(kParagraphEnd, at);
            searchedFrom_ = at;
            searched_ = true;
        }
        return found_;
    }

  private:
    std::string_view body_;
    bool searched_ = false;
    std::size_t searchedFrom_ = 0;
    std::size_t found_ = kNone;
};

// The text of the paragraph whose marker stands at `at`: from the marker's end to the first
// "</P>" after it, empty when no "</P>" follows. The marker holds no "</P>", so that close
// cannot begin inside the marker.
std::string_view ParagraphText(std::string_view body, std::size_t at, std::string_view marker,
                               TParagraphEnds& ends) {
    const std::size_t end = ends.From(at);
    if (end == kNone) {
        return {};
    }
    return body.substr(at + marker.size(), end - at - marker.size());
}

}  // namespace

// The scan keeps positions into the whole page instead of cutting the rest down record by record:
// each rest began at a marker and only lost blanks at the page's end, which hold no marker and no
// "</P>", so every search in a rest finds what the same search from that position in the page
// finds.
std::vector<std::string> ParseAnnouncementPage(std::string_view body) {
    std::vector<std::string> items;
    TParagraphEnds ends(body);
    const std::size_t budget = body.size() * kMaxRecordBytesPerPageByte;
    std::size_t taken = 0;
    std::size_t at = 0;
    while (true) {
        const std::size_t title = body.find(kTitleMarker, at);
        if (title == kNone) {
            break;
        }
        const std::size_t address = body.find(kAddressMarker, title);
        if (address == kNone) {
            // Nothing after this title could ever become its address: the scan would stand
            // still here, so it ends, and the unpaired title is dropped.
            break;
        }
        const std::string_view titleText = ParagraphText(body, title, kTitleMarker, ends);
        const std::string_view addressText = ParagraphText(body, address, kAddressMarker, ends);
        const std::size_t record = titleText.size() + addressText.size();
        if (record > budget - taken) {
            break;
        }
        taken += record;
        items.emplace_back(titleText);
        items.emplace_back(addressText);
        at = address;
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
