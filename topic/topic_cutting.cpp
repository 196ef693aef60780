#include "topic/topic_cutting.h"

#include <string.h>

#include <cstddef>

#include "topic/text_ops.h"

namespace m = topic_markers;

std::string_view CutPast(std::string_view t, std::string_view marker) {
    const std::size_t at = marker.empty() || t.empty() ? std::string_view::npos : t.find(marker);
    if (at == std::string_view::npos) {
        // pos is 0: the text goes on from the position equal to the marker's length.
        return text::trim(text::from(t, text::length(marker)));
    }
    return text::trim(t.substr(at + marker.size()));
}

namespace {

// copy(T, 1, pos(m, T) - 1): the text before the first m, empty when m is absent.
std::string_view Before(std::string_view t, std::string_view marker) {
    const std::size_t at = marker.empty() ? std::string_view::npos : t.find(marker);
    return at == std::string_view::npos ? std::string_view{} : t.substr(0, at);
}

// The next occurrence of a marker at or after a moving start within one text. The start only
// moves forward and the end never grows, so an occurrence found once (or found missing) stays
// the answer until the start passes it: a reply loop over hostile markup stays linear.
class TForwardFinder {
  public:
    explicit TForwardFinder(std::string_view base) : base_(base) {}

    std::size_t Find(std::string_view t, std::string_view marker) {
        if (marker.empty() || t.empty()) {
            return std::string_view::npos;
        }
        const std::size_t start = static_cast<std::size_t>(t.data() - base_.data());
        const std::size_t end = start + t.size();
        if (marker == marker_ && start >= searchedFrom_) {
            if (found_ == std::string_view::npos) {
                return std::string_view::npos;
            }
            if (found_ >= start && found_ + marker.size() <= end) {
                return found_ - start;
            }
        }
        if (marker != marker_) {
            marker_.assign(marker);
        }
        searchedFrom_ = start;
        // The reply key starts with a Chinese character whose lead byte is everywhere on a
        // Chinese page: the C library's substring search skips ahead instead of probing every
        // such byte.
        const void* hit = memmem(t.data(), t.size(), marker.data(), marker.size());
        const std::size_t at =
            hit == nullptr ? std::string_view::npos
                           : static_cast<std::size_t>(static_cast<const char*>(hit) - t.data());
        found_ = at == std::string_view::npos ? at : start + at;
        return at;
    }

  private:
    std::string_view base_;
    std::string marker_;
    std::size_t searchedFrom_ = 0;
    std::size_t found_ = std::string_view::npos;
};

std::string_view CutPastFound(std::string_view t, std::string_view marker, std::size_t at) {
    if (at == std::string_view::npos) {
        return text::trim(text::from(t, text::length(marker)));
    }
    return text::trim(t.substr(at + marker.size()));
}

}  // namespace

TStarterPieces CutStarter(std::string_view page) {
    TStarterPieces pieces;
    std::string_view t = CutPast(page, m::kStarterLink);

    const std::string_view url = text::trim(Before(t, m::kLinkEnd));
    pieces.StarterUrl.assign(url);

    // The name stands between the "\">" closing the link's address and the first "</a>".
    const text::CharPos l = text::length(url);
    const text::CharPos anchorEnd = text::pos(m::kAnchorEnd, t);
    pieces.StarterName.assign(text::trim(text::copy(t, l + 3, anchorEnd - l - 3)));

    t = CutPast(t, m::kTopicContent);
    pieces.FirstPost.assign(text::trim(Before(t, m::kSnsBar)));
    pieces.Rest = t;
    return pieces;
}

std::string_view ChooseSuffix(std::string_view starterName, std::string_view rest) {
    const std::string probe = ReplyKey(starterName, m::kSuffixWithCount);
    return rest.find(probe) != std::string_view::npos ? m::kSuffixWithCount : m::kSuffixPlain;
}

std::string ReplyKey(std::string_view starterName, std::string_view suffix) {
    std::string key(text::trim(starterName));
    key.append(suffix);
    return key;
}

std::string_view CutReplies(std::string_view t, const std::function<std::string()>& replyKey,
                            const std::function<void(std::string_view)>& append) {
    TForwardFinder keys(t);
    TForwardFinder divEnds(t);
    TForwardFinder operations(t);
    while (!t.empty()) {
        const std::string key = replyKey();
        const std::size_t at = keys.Find(t, key);
        if (at == std::string_view::npos) {
            break;
        }
        t = CutPastFound(t, key, at);
        t = CutPastFound(t, m::kDivEnd, divEnds.Find(t, m::kDivEnd));
        // Not trimmed at its end; T stays at the fragment's start for the next search.
        const std::size_t operation = operations.Find(t, m::kOperationDiv);
        append(operation == std::string_view::npos ? std::string_view{} : t.substr(0, operation));
    }
    return t;
}

std::string NextPageAddress(std::string_view t) {
    const std::size_t span = t.empty() ? std::string_view::npos : t.find(m::kNextSpan);
    if (span == std::string_view::npos) {
        return {};
    }
    t = text::trim(t.substr(span));
    // Without the link element T keeps beginning with the span (from(T, 0) is T whole).
    const std::size_t link = t.find(m::kNextLink);
    if (link != std::string_view::npos) {
        t = text::trim(t.substr(link));
    }
    // From position 24, one past the 23 characters of the link's opening, to the first "\"/>".
    constexpr text::CharPos kAddressStart = 24;
    const text::CharPos close = text::pos(m::kNextLinkEnd, t);
    const std::string_view next = text::trim(text::copy(t, kAddressStart, close - kAddressStart));
    if (next.empty() || text::pos(m::kLastPageLabel, next) > 0) {
        return {};
    }
    return std::string(next);
}
