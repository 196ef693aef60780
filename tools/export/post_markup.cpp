#include "tools/export/post_markup.h"

#include <algorithm>

#include "tools/export/export_text.h"
#include "tools/export/html_tree.h"

using namespace export_html;

namespace {

// A title longer than this is cut: it heads a document, it is no place for a post.
constexpr std::size_t kMaxTitleBytes = 1024;
// Only the start of a page is searched for its title.
constexpr std::size_t kTitleSearchBytes = 64 * 1024;

std::size_t FindNoCase(std::string_view text, std::string_view needle, std::size_t from) {
    const auto it = std::search(
        text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), needle.begin(), needle.end(),
        [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a + 32 : a) == b; });
    return it == text.end() ? std::string_view::npos : static_cast<std::size_t>(it - text.begin());
}

// Gathers text with white space collapsed, as a browser shows it in one line.
class TLineText {
  public:
    void Add(std::string_view raw) {
        for (const char c : ReplaceControls(raw)) {
            if (IsAsciiSpace(c)) {
                space_ = !text_.empty();
            } else {
                if (space_) {
                    text_ += ' ';
                }
                space_ = false;
                text_ += c;
            }
        }
    }
    std::string Take(std::size_t maxBytes) {
        if (text_.size() > maxBytes) {
            std::size_t cut = maxBytes;
            while (cut > 0 && (static_cast<unsigned char>(text_[cut]) & 0xC0) == 0x80) {
                --cut;
            }
            text_.resize(cut);
        }
        return std::move(text_);
    }

  private:
    std::string text_;
    bool space_ = false;
};

}  // namespace

std::string MarkupText(std::string_view fragment) {
    const TParsedMarkup parsed(fragment, GUMBO_TAG_DIV);
    TLineText text;
    Walk(
        parsed.Root(),
        [&text, &parsed](const GumboNode* node) {
            if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE) {
                text.Add(parsed.Text(node->v.text.text));
            }
            return node->type == GUMBO_NODE_ELEMENT && !DroppedWithContent(node);
        },
        [](const GumboNode*) {});
    return text.Take(fragment.size());
}

std::string SafeLinkAddress(std::string_view address) {
    return SafeAddress(address, TAddressUse::Link);
}

std::string PageTitle(std::string_view page) {
    const std::string_view head = page.substr(0, std::min(page.size(), kTitleSearchBytes));
    const std::size_t open = FindNoCase(head, "<title", 0);
    if (open == std::string_view::npos) {
        return {};
    }
    std::size_t close = FindNoCase(head, "</title", open);
    if (close == std::string_view::npos) {
        close = head.size();
    }
    const std::string markup(head.substr(open, close - open));
    const TParsedMarkup parsed(markup, GUMBO_TAG_LAST);
    TLineText title;
    Walk(
        parsed.Root(),
        [&title, &parsed](const GumboNode* node) {
            if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE) {
                title.Add(parsed.Text(node->v.text.text));
            }
            return node->type == GUMBO_NODE_ELEMENT && IsHtmlElement(node);
        },
        [](const GumboNode*) {});
    return title.Take(kMaxTitleBytes);
}
