#pragma once
// Cutting a topic page apart at the fixed markers of the community site's topic pages. Every
// function is pure: a page text in, the pieces out. Texts are UTF-8; positions are characters.
//
// "Cut T just past M" means T := trim(from(T, pos(M, T) + length of M)). When M is absent this
// keeps T from the position equal to M's length, which is what the site's reader has always done.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace topic_markers {
inline constexpr std::string_view kStarterLink = "来自: <a href=\"";
inline constexpr std::string_view kLinkEnd = "\">";
inline constexpr std::string_view kAnchorEnd = "</a>";
inline constexpr std::string_view kTopicContent = "<div class=\"topic-content\">";
inline constexpr std::string_view kSnsBar = "<div class=\"sns-bar\">";
inline constexpr std::string_view kSuffixWithCount = "</a> (";
inline constexpr std::string_view kSuffixPlain = "</a>";
inline constexpr std::string_view kDivEnd = "</div>";
inline constexpr std::string_view kOperationDiv = "<div class=\"operation_div\"";
inline constexpr std::string_view kNextSpan = "<span class=\"next\">";
inline constexpr std::string_view kNextLink = "<link rel=\"next\" href=\"";
inline constexpr std::string_view kNextLinkEnd = "\"/>";
// A next address holding this is the label of the link, not an address: the last page.
inline constexpr std::string_view kLastPageLabel = "后页";
}  // namespace topic_markers

// T := trim(from(T, pos(m, T) + length of m)), without counting characters up to a match.
std::string_view CutPast(std::string_view t, std::string_view m);

// What the first page gives before any reply is collected.
struct TStarterPieces {
    std::string StarterUrl;   // address of the starter's profile link
    std::string StarterName;  // the name as the page shows it, trimmed, markup kept verbatim
    std::string FirstPost;    // the opening post's fragment
    std::string_view Rest;    // the page text from the opening post on (not cut at its end)
};

TStarterPieces CutStarter(std::string_view page);

// The reply key's suffix, chosen once per load from the first page's rest.
std::string_view ChooseSuffix(std::string_view starterName, std::string_view rest);

// Reply key for a name and suffix: trim(name) + suffix.
std::string ReplyKey(std::string_view starterName, std::string_view suffix);

// Collects the starter's replies from t in page order; each fragment handed to append is a view
// into t. The key is asked for at every use, since another load may change the starter's name
// meanwhile. Returns what is left of t, where the search for the next-page link goes on.
std::string_view CutReplies(std::string_view t, const std::function<std::string()>& replyKey,
                            const std::function<void(std::string_view)>& append);

// What the fragments cut from one page may total, as a multiple of the page's size. The replies of
// a real page are disjoint pieces of it and total less than the page; only markup that repeats the
// reply key before one operation marker makes them overlap, and then their total grows with the
// square of the page (a 104 KB page gave 224 MB of posts). Four pages' worth leaves every honest
// page whole and keeps what a hostile page can make the load write within a small multiple of it.
inline constexpr std::size_t kMaxFragmentBytesPerPageByte = 4;

// Counts the fragments cut from one page against that bound. Once a fragment would go past it,
// that fragment and every later one of the page are refused, so a page's posts stay a prefix of
// what it gives.
class TFragmentBudget {
  public:
    explicit TFragmentBudget(std::size_t pageSize)
        : limit_(pageSize * kMaxFragmentBytesPerPageByte) {}

    // True when the fragment still fits and is counted; false from the first one that does not.
    bool Take(std::size_t fragmentSize) {
        if (exceeded_ || fragmentSize > limit_ - taken_) {
            exceeded_ = true;
            return false;
        }
        taken_ += fragmentSize;
        return true;
    }

    // True once a fragment of this page has been refused.
    bool Exceeded() const { return exceeded_; }

  private:
    std::size_t limit_;
    std::size_t taken_ = 0;
    bool exceeded_ = false;
};

// The next page's address from what is left of a page after its replies, or the empty text when
// the topic ends here (no next-page element, no address, or the last page's label).
std::string NextPageAddress(std::string_view t);
