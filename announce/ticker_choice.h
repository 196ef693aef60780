#pragma once
// What the ticker shows next, what a click opens and when the update is offered, as pure
// choices over the announcement items. The label's text is the only record of which title is
// on show, so every choice is made by comparing that text with the items, never by position.

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Reading an item the list does not hold.
class EListIndexError : public std::out_of_range {
  public:
    explicit EListIndexError(std::size_t index);
};

// Item `index`, or EListIndexError.
const std::string& AnnouncementItem(const std::vector<std::string>& items, std::size_t index);

// Whether the ticker label currently shows this item's text (exact, case-sensitive).
using ShownOnTicker = std::function<bool(const std::string& item)>;

// The titles the rotation and the click look for, in order: records 1 to 4.
inline constexpr std::size_t kComparedTitles = 4;
// With none of those on show, the click opens the address of record 5.
inline constexpr std::size_t kFifthAddressItem = 9;

// The title after the one on show: items 0, 2, 4, 6 are compared in that order and the first
// equal one is followed by item 2, 4, 6 or 8; none equal gives item 0. Each item compared or
// chosen is read, so a shorter list throws EListIndexError (the tick then falls back to item 0,
// which is how the cycle wraps after the last title present).
const std::string& NextTickerTitle(const std::vector<std::string>& items,
                                   const ShownOnTicker& shown);

// The address a click opens: item 1, 3, 5 or 7 for the first of items 0, 2, 4, 6 on show, else
// item 9. Throws EListIndexError like NextTickerTitle.
const std::string& ClickedAddress(const std::vector<std::string>& items,
                                  const ShownOnTicker& shown);

// Whether this counted tick offers the update: `latest` trimmed is not empty, it reads as a
// decimal number greater than `current`, and this is the first counted tick. The versions are
// read on every call with a non-blank `latest` (EVersionText when either is not a number), so an
// unreadable version fails every tick, not only the first.
bool ShouldOfferUpdate(std::string_view latest, std::string_view current, int tickCount);
