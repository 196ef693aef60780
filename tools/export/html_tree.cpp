#include "tools/export/html_tree.h"

#include <algorithm>

#include "tools/export/export_text.h"
#include "view/html_nesting.h"
#include "view/markup_scan.h"

namespace export_html {

// ---- the parse --------------------------------------------------------------------------------

namespace {

bool foldTextRuns = true;

// First of the private-use characters standing for runs, and how many there are (U+E000 to
// U+F8FF). A post with more runs keeps the rest as they are.
constexpr char32_t kFirstRunMark = 0xE000;
constexpr std::size_t kRunMarks = 0x1900;
// Shorter runs are kept: their mark (three bytes) would save nothing.
constexpr std::size_t kMinRunBytes = 4;

bool IsRunByte(unsigned char c) {
    if (c >= 0x80) {
        return true;  // within a well-formed sequence: checked where runs are cut
    }
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
        return true;
    }
    switch (c) {
        case '.':
        case ',':
        case ':':
        case ';':
        case '(':
        case ')':
        case '*':
        case '+':
        case '_':
        case '~':
        case '%':
        case '@':
        case '$':
        case '^':
        case '{':
        case '}':
        case '|':
        case '[':
            return true;
        default:
            return false;
    }
}

// The bytes of a private-use character (U+E000..U+F8FF: EE 80 80 .. EF A3 BF) at text[at].
bool IsRunMarkAt(std::string_view text, std::size_t at) {
    if (at + 2 >= text.size()) {
        return false;
    }
    const auto lead = static_cast<unsigned char>(text[at]);
    const auto second = static_cast<unsigned char>(text[at + 1]);
    return lead == 0xEE || (lead == 0xEF && second >= 0x80 && second <= 0xA3);
}

bool HoldsPrivateUse(std::string_view text) {
    for (std::size_t at = text.find_first_of("\xEE\xEF"); at != std::string_view::npos;
         at = text.find_first_of("\xEE\xEF", at + 1)) {
        if (IsRunMarkAt(text, at)) {
            return true;
        }
    }
    return false;
}

void AppendMark(std::string& out, std::size_t index) {
    const char32_t c = kFirstRunMark + static_cast<char32_t>(index);
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
}

using markup_scan::FindNoCase;
using markup_scan::IsAsciiAlpha;
using markup_scan::TagEnd;

bool IsRawText(std::string_view name) {
    for (const std::string_view raw : {"script", "style", "textarea", "title", "xmp", "iframe",
                                       "noembed", "noframes", "noscript", "plaintext"}) {
        if (name == raw) {
            return true;
        }
    }
    return false;
}

// Replaces runs of plain text in the markup's data with marks. Only data is touched: tags,
// comments, references and raw text stay as they are; where this reading of the markup could
// differ from the parser's, it keeps the bytes. Returns false when nothing was folded.
bool FoldRuns(std::string_view markup, std::string& folded, std::vector<std::string_view>& runs) {
    folded.reserve(markup.size() / 2);
    std::size_t i = 0;
    while (i < markup.size() && runs.size() < kRunMarks) {
        const char c = markup[i];
        if (c == '<') {
            const std::size_t start = i;
            if (markup.compare(i, 4, "<!--") == 0) {
                const std::size_t end = markup.find("-->", i + 4);
                i = end == std::string_view::npos ? markup.size() : end + 3;
            } else {
                const bool closing = i + 1 < markup.size() && markup[i + 1] == '/';
                const std::size_t nameStart = i + 1 + (closing ? 1 : 0);
                if (nameStart < markup.size() && IsAsciiAlpha(markup[nameStart])) {
                    std::size_t nameEnd = nameStart;
                    std::string name;
                    while (nameEnd < markup.size() && IsAsciiAlpha(markup[nameEnd])) {
                        name += static_cast<char>(markup[nameEnd] | 0x20);
                        ++nameEnd;
                    }
                    const std::size_t end = TagEnd(markup, nameEnd);
                    i = end == std::string_view::npos ? markup.size() : end + 1;
                    if (!closing && IsRawText(name) && i < markup.size()) {
                        const std::size_t close = FindNoCase(markup, "</" + name, i);
                        i = close == std::string_view::npos ? markup.size() : close;
                    }
                } else {
                    i = start + 1;  // a '<' that opens no tag is text (or a bogus comment)
                }
            }
            folded.append(markup.substr(start, i - start));
            continue;
        }
        if (c == '&') {
            // A character reference: its name or number stays where the parser reads it.
            std::size_t end = i + 1;
            while (end < markup.size() &&
                   (IsAsciiAlpha(markup[end]) || (markup[end] >= '0' && markup[end] <= '9') ||
                    markup[end] == '#' || markup[end] == ';')) {
                ++end;
            }
            folded.append(markup.substr(i, end - i));
            i = end;
            continue;
        }
        std::size_t end = i;
        while (end < markup.size() && IsRunByte(static_cast<unsigned char>(markup[end]))) {
            const auto byte = static_cast<unsigned char>(markup[end]);
            if (byte < 0x80) {
                ++end;
                continue;
            }
            const std::size_t n = Utf8SequenceLength(markup, end);
            // Not UTF-8 (the parser would replace it), or a byte order mark (which it may drop).
            if (n == 0 || markup.compare(end, 3, "\xEF\xBB\xBF") == 0) {
                break;
            }
            end += n;
        }
        if (end - i >= kMinRunBytes) {
            AppendMark(folded, runs.size());
            runs.push_back(markup.substr(i, end - i));
            i = end;
        } else if (end > i) {
            folded.append(markup.substr(i, end - i));
            i = end;
        } else {
            folded += c;
            ++i;
        }
    }
    folded.append(markup.substr(std::min(i, markup.size())));
    return !runs.empty();
}

}  // namespace

void SetTextRunFolding(bool on) {
    foldTextRuns = on;
}

TParsedMarkup::TParsedMarkup(std::string_view markup, GumboTag context)
    : markup_(CapNesting(markup)) {
    if (!foldTextRuns || HoldsPrivateUse(markup_) || !FoldRuns(markup_, folded_, runs_)) {
        folded_ = markup_;
        runs_.clear();
    }
    options_ = kGumboDefaultOptions;
    options_.max_errors = 0;  // errors are not used; recording them costs memory
    options_.fragment_context = context;
    output_ = gumbo_parse_with_options(&options_, folded_.data(), folded_.size());
}

TParsedMarkup::~TParsedMarkup() {
    gumbo_destroy_output(&options_, output_);
}

std::string TParsedMarkup::Text(const char* parsed) const {
    const std::string_view text(parsed);
    if (runs_.empty()) {
        return std::string(text);
    }
    std::string out;
    out.reserve(text.size() * 4);
    std::size_t copied = 0;
    for (std::size_t at = text.find_first_of("\xEE\xEF"); at != std::string_view::npos;
         at = text.find_first_of("\xEE\xEF", at + 1)) {
        if (!IsRunMarkAt(text, at)) {
            continue;
        }
        const auto b = [&](std::size_t k) { return static_cast<unsigned char>(text[at + k]); };
        const char32_t c = ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
        const std::size_t index = c - kFirstRunMark;
        if (index >= runs_.size()) {
            continue;
        }
        out.append(text.substr(copied, at - copied));
        out.append(runs_[index]);
        copied = at + 3;
        at += 2;
    }
    out.append(text.substr(copied));
    return out;
}

const GumboVector* Children(const GumboNode* node) {
    switch (node->type) {
        case GUMBO_NODE_DOCUMENT:
            return &node->v.document.children;
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE:
            return &node->v.element.children;
        default:
            return nullptr;
    }
}

bool IsHtmlElement(const GumboNode* node) {
    return node->type == GUMBO_NODE_ELEMENT &&
           node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML;
}

bool DroppedWithContent(const GumboNode* node) {
    if (node->type == GUMBO_NODE_TEMPLATE) {
        return true;
    }
    if (node->type != GUMBO_NODE_ELEMENT) {
        return false;
    }
    if (node->v.element.tag_namespace != GUMBO_NAMESPACE_HTML) {
        return true;  // SVG and MathML can carry scripts and handlers of their own
    }
    switch (node->v.element.tag) {
        case GUMBO_TAG_SCRIPT:
        case GUMBO_TAG_STYLE:
        case GUMBO_TAG_NOSCRIPT:
        case GUMBO_TAG_IFRAME:
        case GUMBO_TAG_FRAME:
        case GUMBO_TAG_FRAMESET:
        case GUMBO_TAG_NOFRAMES:
        case GUMBO_TAG_OBJECT:
        case GUMBO_TAG_EMBED:
        case GUMBO_TAG_APPLET:
        case GUMBO_TAG_NOEMBED:
        case GUMBO_TAG_PARAM:
        case GUMBO_TAG_INPUT:
        case GUMBO_TAG_TEXTAREA:
        case GUMBO_TAG_SELECT:
        case GUMBO_TAG_OPTION:
        case GUMBO_TAG_OPTGROUP:
        case GUMBO_TAG_BUTTON:
        case GUMBO_TAG_KEYGEN:
        case GUMBO_TAG_HEAD:
        case GUMBO_TAG_TITLE:
        case GUMBO_TAG_META:
        case GUMBO_TAG_LINK:
        case GUMBO_TAG_BASE:
        case GUMBO_TAG_AUDIO:
        case GUMBO_TAG_VIDEO:
        case GUMBO_TAG_SOURCE:
        case GUMBO_TAG_TRACK:
        case GUMBO_TAG_CANVAS:
        case GUMBO_TAG_AREA:
            return true;
        default:
            return false;
    }
}

// ---- addresses ----------------------------------------------------------------------------------

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? x + 32 : x) == y;
           });
}

}  // namespace

std::string SafeAddress(std::string_view value, TAddressUse use) {
    std::string address;
    for (const char c : value) {
        if (c != '\t' && c != '\n' && c != '\r') {
            address += c;
        }
    }
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!address.empty() && blank(address.back())) {
        address.pop_back();
    }
    const auto first = std::find_if_not(address.begin(), address.end(), blank);
    address.erase(address.begin(), first);
    if (address.empty()) {
        return {};
    }
    const std::size_t colon = address.find(':');
    const std::size_t pathStart = address.find_first_of("/?#");
    if (colon == std::string::npos || (pathStart != std::string::npos && pathStart < colon)) {
        return address;  // relative: resolves against the exported file, never a script
    }
    const std::string_view scheme(address.data(), colon);
    if (EqualsNoCase(scheme, "http") || EqualsNoCase(scheme, "https")) {
        return address;
    }
    if (use == TAddressUse::Link && EqualsNoCase(scheme, "mailto")) {
        return address;
    }
    if (use == TAddressUse::Picture && EqualsNoCase(scheme, "data")) {
        // Raster pictures only: an SVG picture is a document that may hold scripts.
        for (const std::string_view type : {"image/png", "image/gif", "image/jpeg", "image/webp"}) {
            const std::string_view rest = std::string_view(address).substr(colon + 1);
            if (rest.size() > type.size() && EqualsNoCase(rest.substr(0, type.size()), type) &&
                (rest[type.size()] == ';' || rest[type.size()] == ',')) {
                return address;
            }
        }
    }
    return {};
}

const char* AttributeValue(const GumboNode* node, const char* name) {
    const GumboAttribute* attribute = gumbo_get_attribute(&node->v.element.attributes, name);
    return attribute == nullptr ? nullptr : attribute->value;
}

bool IsAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

}  // namespace export_html
