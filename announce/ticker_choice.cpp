#include "announce/ticker_choice.h"

#include "announce/decimal_version.h"
#include "announce/text_trim.h"

EListIndexError::EListIndexError(std::size_t index)
    : std::out_of_range("List index out of bounds (" + std::to_string(index) + ")") {}

const std::string& AnnouncementItem(const std::vector<std::string>& items, std::size_t index) {
    if (index >= items.size()) {
        throw EListIndexError(index);
    }
    return items[index];
}

const std::string& NextTickerTitle(const std::vector<std::string>& items,
                                   const ShownOnTicker& shown) {
    for (std::size_t k = 0; k < kComparedTitles; ++k) {
        if (shown(AnnouncementItem(items, 2 * k))) {
            return AnnouncementItem(items, 2 * k + 2);
        }
    }
    return AnnouncementItem(items, 0);
}

const std::string& ClickedAddress(const std::vector<std::string>& items,
                                  const ShownOnTicker& shown) {
    for (std::size_t k = 0; k < kComparedTitles; ++k) {
        if (shown(AnnouncementItem(items, 2 * k))) {
            return AnnouncementItem(items, 2 * k + 1);
        }
    }
    return AnnouncementItem(items, kFifthAddressItem);
}

bool ShouldOfferUpdate(std::string_view latest, std::string_view current, int tickCount) {
    if (TrimBlanks(latest).empty()) {
        return false;
    }
    const bool newer = IsNewerVersion(latest, current);
    return newer && tickCount == 1;
}
