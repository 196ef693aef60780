// The announcement parse: any page gives whole records (title and address) whose texts stand in
// the page as they are, at most one record per title marker, and exactly what the first-written
// parse (kept as the reference) gives, cut to the bound on what the texts may total.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "announce/announcement_page.h"
#include "tests/announce/announcement_page_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    const Announcements a = ReadAnnouncements(body);
    if (a.items.size() % 2 != 0)
        std::abort();
    std::size_t titles = 0;
    for (std::size_t at = body.find(kTitleMarker); at != std::string_view::npos;
         at = body.find(kTitleMarker, at + 1))
        ++titles;
    if (a.items.size() / 2 > titles)
        std::abort();
    for (std::size_t i = 0; i < a.items.size(); ++i) {
        const std::string_view marker = i % 2 == 0 ? kTitleMarker : kAddressMarker;
        if (body.find(std::string(marker) + a.items[i] + std::string(kParagraphEnd)) ==
                std::string_view::npos &&
            !a.items[i].empty())
            std::abort();
    }
    if (a.items.size() > kLatestVersionItem ? a.latestVersion != a.items[kLatestVersionItem]
                                            : !a.latestVersion.empty())
        std::abort();
    if (a.items != reference::WithinBound(reference::ParseAnnouncementPage(body), body.size()))
        std::abort();
    return 0;
}
