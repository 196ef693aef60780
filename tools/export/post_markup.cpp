#include "tools/export/post_markup.h"

#include <gumbo.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "tools/export/export_text.h"

namespace {

// ---- the parse --------------------------------------------------------------------------------

// One parse of a post (as the content of a <div>, the way the view shows it) or of a document.
class TParsedMarkup {
  public:
    TParsedMarkup(std::string_view markup, GumboTag context) {
        options_ = kGumboDefaultOptions;
        options_.max_errors = 0;  // errors are not used; recording them costs memory
        options_.fragment_context = context;
        output_ = gumbo_parse_with_options(&options_, markup.data(), markup.size());
    }
    ~TParsedMarkup() { gumbo_destroy_output(&options_, output_); }
    TParsedMarkup(const TParsedMarkup&) = delete;
    TParsedMarkup& operator=(const TParsedMarkup&) = delete;

    const GumboNode* Root() const { return output_->root; }

  private:
    GumboOptions options_;
    GumboOutput* output_;
};

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

// Visits the nodes below root in document order without recursion: a hostile post may nest far
// deeper than a thread's stack allows. `enter` returns whether to go into the node's children;
// `leave` is called after the children of every node entered so.
template <typename Enter, typename Leave>
void Walk(const GumboNode* root, Enter&& enter, Leave&& leave) {
    struct Frame {
        const GumboNode* node;
        unsigned int next;
    };
    std::vector<Frame> stack{{root, 0}};
    while (!stack.empty()) {
        const GumboNode* node = stack.back().node;
        const GumboVector* children = Children(node);
        if (children != nullptr && stack.back().next < children->length) {
            const auto* child = static_cast<const GumboNode*>(children->data[stack.back().next++]);
            if (enter(child)) {
                stack.push_back({child, 0});
            }
            continue;
        }
        stack.pop_back();
        if (!stack.empty()) {
            leave(node);
        }
    }
}

bool IsHtmlElement(const GumboNode* node) {
    return node->type == GUMBO_NODE_ELEMENT &&
           node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML;
}

// Elements dropped with everything inside them: they run code, load other documents or
// plugins, take input, or hold no text a reader sees.
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

enum class TAddressUse { Link, Picture };

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? x + 32 : x) == y;
           });
}

// The address as a browser reads it (no leading or trailing controls and blanks, no tabs or
// line breaks inside), or the empty text when it is not one the export may carry.
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

// ---- sanitised HTML -----------------------------------------------------------------------------

struct TAllowedElement {
    GumboTag tag;
    // Attributes kept besides title, lang and dir, each checked by kind.
    const char* const* attributes;
};

constexpr const char* kNoAttributes[] = {nullptr};
constexpr const char* kLinkAttributes[] = {"href", nullptr};
constexpr const char* kPictureAttributes[] = {"src", "alt", "width", "height", nullptr};
constexpr const char* kCellAttributes[] = {"colspan", "rowspan", nullptr};
constexpr const char* kListAttributes[] = {"start", nullptr};
constexpr const char* kQuoteAttributes[] = {"cite", nullptr};

const char* const* AllowedAttributes(GumboTag tag) {
    switch (tag) {
        case GUMBO_TAG_A:
            return kLinkAttributes;
        case GUMBO_TAG_IMG:
            return kPictureAttributes;
        case GUMBO_TAG_TD:
        case GUMBO_TAG_TH:
            return kCellAttributes;
        case GUMBO_TAG_OL:
            return kListAttributes;
        case GUMBO_TAG_BLOCKQUOTE:
        case GUMBO_TAG_Q:
        case GUMBO_TAG_DEL:
        case GUMBO_TAG_INS:
            return kQuoteAttributes;
        case GUMBO_TAG_P:
        case GUMBO_TAG_BR:
        case GUMBO_TAG_HR:
        case GUMBO_TAG_DIV:
        case GUMBO_TAG_SPAN:
        case GUMBO_TAG_B:
        case GUMBO_TAG_I:
        case GUMBO_TAG_U:
        case GUMBO_TAG_S:
        case GUMBO_TAG_STRIKE:
        case GUMBO_TAG_EM:
        case GUMBO_TAG_STRONG:
        case GUMBO_TAG_SMALL:
        case GUMBO_TAG_BIG:
        case GUMBO_TAG_SUB:
        case GUMBO_TAG_SUP:
        case GUMBO_TAG_MARK:
        case GUMBO_TAG_CODE:
        case GUMBO_TAG_KBD:
        case GUMBO_TAG_SAMP:
        case GUMBO_TAG_VAR:
        case GUMBO_TAG_TT:
        case GUMBO_TAG_PRE:
        case GUMBO_TAG_CITE:
        case GUMBO_TAG_ABBR:
        case GUMBO_TAG_DFN:
        case GUMBO_TAG_H1:
        case GUMBO_TAG_H2:
        case GUMBO_TAG_H3:
        case GUMBO_TAG_H4:
        case GUMBO_TAG_H5:
        case GUMBO_TAG_H6:
        case GUMBO_TAG_UL:
        case GUMBO_TAG_LI:
        case GUMBO_TAG_DL:
        case GUMBO_TAG_DT:
        case GUMBO_TAG_DD:
        case GUMBO_TAG_TABLE:
        case GUMBO_TAG_CAPTION:
        case GUMBO_TAG_THEAD:
        case GUMBO_TAG_TBODY:
        case GUMBO_TAG_TFOOT:
        case GUMBO_TAG_TR:
        case GUMBO_TAG_FIGURE:
        case GUMBO_TAG_FIGCAPTION:
        case GUMBO_TAG_RUBY:
        case GUMBO_TAG_RT:
        case GUMBO_TAG_RP:
            return kNoAttributes;
        default:
            return nullptr;  // not allowed: the element goes, its content stays
    }
}

bool IsVoid(GumboTag tag) {
    return tag == GUMBO_TAG_BR || tag == GUMBO_TAG_HR || tag == GUMBO_TAG_IMG;
}

bool AllDigits(const char* value) {
    const std::size_t n = std::strlen(value);
    return n > 0 && n <= 6 &&
           std::all_of(value, value + n, [](char c) { return c >= '0' && c <= '9'; });
}

void AppendAttribute(std::string& out, std::string_view name, std::string_view value) {
    out += ' ';
    out += name;
    out += "=\"";
    out += HtmlEscape(ReplaceControls(value));
    out += '"';
}

void AppendStartTag(std::string& out, const GumboNode* node, const char* const* allowed) {
    const GumboTag tag = node->v.element.tag;
    out += '<';
    out += gumbo_normalized_tagname(tag);
    const GumboVector& attributes = node->v.element.attributes;
    for (unsigned int i = 0; i < attributes.length; ++i) {
        const auto* attribute = static_cast<const GumboAttribute*>(attributes.data[i]);
        if (attribute->attr_namespace != GUMBO_ATTR_NAMESPACE_NONE) {
            continue;
        }
        const std::string_view name = attribute->name;
        if (name == "title" || name == "lang") {
            AppendAttribute(out, name, attribute->value);
            continue;
        }
        if (name == "dir") {
            const std::string_view value = attribute->value;
            if (value == "ltr" || value == "rtl" || value == "auto") {
                AppendAttribute(out, name, value);
            }
            continue;
        }
        bool listed = false;
        for (const char* const* a = allowed; *a != nullptr; ++a) {
            listed = listed || name == *a;
        }
        if (!listed) {
            continue;  // event handlers, style, http-equiv and the rest
        }
        if (name == "href" || name == "cite" || name == "src") {
            const std::string address = SafeAddress(
                attribute->value, name == "src" ? TAddressUse::Picture : TAddressUse::Link);
            if (!address.empty()) {
                AppendAttribute(out, name, address);
            }
        } else if (name == "alt") {
            AppendAttribute(out, name, attribute->value);
        } else if (AllDigits(attribute->value)) {
            AppendAttribute(out, name, attribute->value);
        }
    }
    if (tag == GUMBO_TAG_A) {
        out += " rel=\"nofollow noopener noreferrer\"";
    }
    out += '>';
}

}  // namespace

std::string SanitizePostHtml(std::string_view fragment) {
    const TParsedMarkup parsed(fragment, GUMBO_TAG_DIV);
    std::string out;
    out.reserve(fragment.size());
    Walk(
        parsed.Root(),
        [&out](const GumboNode* node) {
            switch (node->type) {
                case GUMBO_NODE_TEXT:
                case GUMBO_NODE_WHITESPACE:
                    out += HtmlEscape(ReplaceControls(node->v.text.text));
                    return false;
                case GUMBO_NODE_ELEMENT:
                    break;
                default:
                    return false;  // comments, CDATA, templates
            }
            if (DroppedWithContent(node)) {
                return false;
            }
            const char* const* allowed = AllowedAttributes(node->v.element.tag);
            if (allowed != nullptr) {
                AppendStartTag(out, node, allowed);
                if (node->v.element.tag == GUMBO_TAG_PRE) {
                    out +=
                        '\n';  // the parser drops a newline right after <pre>: keep the text's own
                }
            }
            return true;
        },
        [&out](const GumboNode* node) {
            const GumboTag tag = node->v.element.tag;
            if (AllowedAttributes(tag) != nullptr && !IsVoid(tag)) {
                out += "</";
                out += gumbo_normalized_tagname(tag);
                out += '>';
            }
        });
    return out;
}

// ---- CommonMark ---------------------------------------------------------------------------------

namespace {

// Quotes and lists nested deeper than this are written at this depth: every level adds to the
// start of every line inside it, so a post nesting thousands of levels would grow the output
// with the square of its size.
constexpr std::size_t kMaxBlockNesting = 16;
// Emphasis and links nested deeper than this are written as their text; each level rewrites
// the text inside it once.
constexpr std::size_t kMaxInlineNesting = 8;

bool IsAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsMarkdownPunctuation(char c) {
    return std::strchr("\\`*_[]<>#!&|~+-=.():\"'{}$%,;/?@^", c) != nullptr && c != '\0';
}

// The code point at text[at] (valid UTF-8), for the punctuation test of emphasis.
char32_t CodePointAt(std::string_view text, std::size_t at) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = b(0);
    if (lead < 0x80) {
        return lead;
    }
    const std::size_t n = Utf8SequenceLength(text, at);
    if (n == 2) {
        return ((lead & 0x1F) << 6) | (b(1) & 0x3F);
    }
    if (n == 3) {
        return ((lead & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    }
    if (n == 4) {
        return ((lead & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
    }
    return 0xFFFD;
}

// Punctuation or white space as emphasis delimiters see them: ASCII punctuation, the Latin-1
// and general punctuation blocks, CJK and full-width punctuation.
bool IsDelimiterNeighbourPunctuation(char32_t c) {
    if (c < 0x80) {
        return c <= 0x20 || IsMarkdownPunctuation(static_cast<char>(c));
    }
    return (c >= 0xA0 && c <= 0xBF) || c == 0xD7 || c == 0xF7 || (c >= 0x2000 && c <= 0x2BFF) ||
           (c >= 0x3000 && c <= 0x303F) || (c >= 0xFE10 && c <= 0xFE6F) ||
           (c >= 0xFF00 && c <= 0xFF0F) || (c >= 0xFF1A && c <= 0xFF20) ||
           (c >= 0xFF3B && c <= 0xFF40) || (c >= 0xFF5B && c <= 0xFF65) || c == 0xFFFD;
}

// Start of the last character of text (valid UTF-8).
std::size_t LastCharStart(std::string_view text) {
    std::size_t at = text.size() - 1;
    while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) {
        --at;
    }
    return at;
}

// A destination in <...>: nothing that ends it, breaks it or escapes inside it.
std::string MarkdownDestination(std::string_view address) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::string clean = PercentEncodeInvalidUtf8(address);
    std::string out;
    for (const char c : clean) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F || c == '<' || c == '>' || c == '\\') {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

class TMarkdownWriter {
  public:
    explicit TMarkdownWriter(std::size_t sizeHint) { out_.reserve(sizeHint); }

    bool Enter(const GumboNode* node) {
        switch (node->type) {
            case GUMBO_NODE_TEXT:
            case GUMBO_NODE_WHITESPACE:
                Text(node->v.text.text);
                return false;
            case GUMBO_NODE_ELEMENT:
                break;
            default:
                return false;
        }
        if (DroppedWithContent(node)) {
            return false;
        }
        const GumboTag tag = node->v.element.tag;
        if (pre_ > 0) {
            ++pre_;  // inside code everything is its text
            if (tag == GUMBO_TAG_BR) {
                preText_ += '\n';
            }
            return true;
        }
        switch (tag) {
            case GUMBO_TAG_BR:
                HardBreak();
                return false;
            case GUMBO_TAG_HR:
                Flush();
                EmitLine("* * *");
                return false;
            case GUMBO_TAG_IMG:
                Picture(node);
                return false;
            case GUMBO_TAG_PRE:
                Flush();
                pre_ = 1;
                preText_.clear();
                return true;
            case GUMBO_TAG_H1:
            case GUMBO_TAG_H2:
            case GUMBO_TAG_H3:
            case GUMBO_TAG_H4:
            case GUMBO_TAG_H5:
            case GUMBO_TAG_H6:
                Flush();
                if (heading_ == 0) {
                    heading_ = 1 + (tag - GUMBO_TAG_H1);
                }
                return true;
            case GUMBO_TAG_BLOCKQUOTE:
                Flush();
                PushContainer("> ", "> ");
                return true;
            case GUMBO_TAG_UL:
            case GUMBO_TAG_OL:
            case GUMBO_TAG_MENU:
            case GUMBO_TAG_DIR:
                Flush();
                lists_.push_back({tag == GUMBO_TAG_OL, 0});
                return true;
            case GUMBO_TAG_LI:
                Flush();
                ListItem();
                return true;
            case GUMBO_TAG_TD:
            case GUMBO_TAG_TH:
                pendingSpace_ = true;  // cells of a row are one paragraph, apart by a space
                return true;
            case GUMBO_TAG_EM:
            case GUMBO_TAG_I:
            case GUMBO_TAG_CITE:
            case GUMBO_TAG_DFN:
            case GUMBO_TAG_VAR:
                OpenInline(node, "*");
                return true;
            case GUMBO_TAG_STRONG:
            case GUMBO_TAG_B:
                OpenInline(node, "**");
                return true;
            case GUMBO_TAG_A:
                OpenInline(node, "");
                return true;
            default:
                if (IsBlock(tag)) {
                    Flush();
                }
                return true;
        }
    }

    void Leave(const GumboNode* node) {
        const GumboTag tag = node->v.element.tag;
        if (pre_ > 0) {
            if (--pre_ == 0) {
                CodeBlock();
            }
            return;
        }
        switch (tag) {
            case GUMBO_TAG_H1:
            case GUMBO_TAG_H2:
            case GUMBO_TAG_H3:
            case GUMBO_TAG_H4:
            case GUMBO_TAG_H5:
            case GUMBO_TAG_H6:
                Flush();
                heading_ = 0;
                break;
            case GUMBO_TAG_BLOCKQUOTE:
                Flush();
                PopContainer();
                break;
            case GUMBO_TAG_UL:
            case GUMBO_TAG_OL:
            case GUMBO_TAG_MENU:
            case GUMBO_TAG_DIR:
                Flush();
                lists_.pop_back();
                break;
            case GUMBO_TAG_LI:
                Flush();
                PopContainer();
                break;
            case GUMBO_TAG_EM:
            case GUMBO_TAG_I:
            case GUMBO_TAG_CITE:
            case GUMBO_TAG_DFN:
            case GUMBO_TAG_VAR:
            case GUMBO_TAG_STRONG:
            case GUMBO_TAG_B:
            case GUMBO_TAG_A:
                CloseInline(node);
                break;
            default:
                if (IsBlock(tag)) {
                    Flush();
                }
        }
    }

    std::string Finish() {
        Flush();
        if (!out_.empty() && out_.back() != '\n') {
            out_ += '\n';
        }
        return std::move(out_);
    }

  private:
    struct TContainer {
        std::string first;  // before the first line written inside it (a list marker)
        std::string rest;   // before every later line
        bool used = false;
        bool counted = true;  // false beyond the nesting bound: adds nothing to lines
    };
    struct TList {
        bool ordered;
        int items;
    };
    struct TInline {
        const GumboNode* node;
        std::size_t start;      // where its text begins in the paragraph
        std::size_t flushes;    // paragraphs written when it opened
        std::string delimiter;  // "*", "**", or "" for a link
        bool active;            // within the nesting bound
    };

    static bool IsBlock(GumboTag tag) {
        switch (tag) {
            case GUMBO_TAG_P:
            case GUMBO_TAG_DIV:
            case GUMBO_TAG_SECTION:
            case GUMBO_TAG_ARTICLE:
            case GUMBO_TAG_ASIDE:
            case GUMBO_TAG_HEADER:
            case GUMBO_TAG_FOOTER:
            case GUMBO_TAG_NAV:
            case GUMBO_TAG_MAIN:
            case GUMBO_TAG_ADDRESS:
            case GUMBO_TAG_CENTER:
            case GUMBO_TAG_FIGURE:
            case GUMBO_TAG_FIGCAPTION:
            case GUMBO_TAG_DETAILS:
            case GUMBO_TAG_SUMMARY:
            case GUMBO_TAG_DL:
            case GUMBO_TAG_DT:
            case GUMBO_TAG_DD:
            case GUMBO_TAG_TABLE:
            case GUMBO_TAG_CAPTION:
            case GUMBO_TAG_TR:
            case GUMBO_TAG_FORM:
            case GUMBO_TAG_FIELDSET:
            case GUMBO_TAG_LEGEND:
            case GUMBO_TAG_HGROUP:
            case GUMBO_TAG_LISTING:
            case GUMBO_TAG_PLAINTEXT:
            case GUMBO_TAG_XMP:
                return true;
            default:
                return false;
        }
    }

    void Text(std::string_view raw) {
        const std::string text = ReplaceControls(raw);
        if (pre_ > 0) {
            preText_ += text;
            return;
        }
        for (const char c : text) {
            if (IsAsciiSpace(c)) {
                pendingSpace_ = true;
                continue;
            }
            if (pendingSpace_ && !para_.empty() && para_.back() != '\n') {
                para_ += ' ';
            }
            pendingSpace_ = false;
            if (IsMarkdownPunctuation(c)) {
                para_ += '\\';  // a backslash before ASCII punctuation is always that character
            }
            para_ += c;
        }
    }

    void HardBreak() {
        pendingSpace_ = false;
        if (heading_ != 0) {
            pendingSpace_ = true;  // a heading is one line
            return;
        }
        if (!para_.empty() && para_.back() != '\n') {
            para_ += "\\\n";
        }
    }

    void Picture(const GumboNode* node) {
        const char* src = AttributeValue(node, "src");
        const std::string address = src == nullptr ? "" : SafeAddress(src, TAddressUse::Picture);
        if (address.empty()) {
            return;
        }
        const char* alt = AttributeValue(node, "alt");
        if (pendingSpace_ && !para_.empty() && para_.back() != '\n') {
            para_ += ' ';
        }
        pendingSpace_ = false;
        para_ += "![";
        para_ += MarkdownInline(alt == nullptr ? "" : alt);
        para_ += "](<";
        para_ += MarkdownDestination(address);
        para_ += ">)";
    }

    void OpenInline(const GumboNode* node, std::string delimiter) {
        const bool active = inlines_.size() < kMaxInlineNesting;
        inlines_.push_back({node, para_.size(), flushes_, std::move(delimiter), active});
    }

    void CloseInline(const GumboNode* node) {
        if (inlines_.empty() || inlines_.back().node != node) {
            return;
        }
        TInline open = std::move(inlines_.back());
        inlines_.pop_back();
        if (!open.active || open.flushes != flushes_ || open.start > para_.size()) {
            return;  // a block inside it: its text went out in pieces, written as text
        }
        std::string_view content = std::string_view(para_).substr(open.start);
        // White space at its ends goes outside the delimiters, or they would not count.
        std::size_t lead = 0;
        while (lead < content.size() && (content[lead] == ' ' || content[lead] == '\n')) {
            ++lead;
        }
        std::size_t trail = content.size();
        while (trail > lead && content[trail - 1] == ' ') {
            --trail;
        }
        if (trail > lead + 1 && content.substr(trail - 2, 2) == "\\\n") {
            return;  // ends in a line break: written as text
        }
        const std::string core(content.substr(lead, trail - lead));
        if (core.empty()) {
            return;
        }
        const std::size_t at = open.start + lead;
        if (!open.delimiter.empty() && at > 0 && para_[at - 1] == '*') {
            return;  // right after another delimiter the two runs would merge
        }
        std::string wrapped;
        if (open.delimiter.empty()) {
            const char* href = AttributeValue(node, "href");
            const std::string address = href == nullptr ? "" : SafeAddress(href, TAddressUse::Link);
            if (address.empty()) {
                return;
            }
            wrapped = "[" + core + "](<" + MarkdownDestination(address) + ">)";
        } else {
            // A delimiter opens and closes only where the text inside starts and ends with a
            // letter or digit (not punctuation or space): then the outside does not matter.
            if (core[0] == '\\' || IsDelimiterNeighbourPunctuation(CodePointAt(core, 0)) ||
                IsDelimiterNeighbourPunctuation(CodePointAt(core, LastCharStart(core)))) {
                return;
            }
            wrapped = open.delimiter + core + open.delimiter;
        }
        const std::string tail(content.substr(trail));
        para_.resize(open.start + lead);
        para_ += wrapped;
        para_ += tail;
    }

    void ListItem() {
        std::string marker = "- ";
        if (!lists_.empty() && lists_.back().ordered) {
            marker = std::to_string(++lists_.back().items) + ". ";
        }
        PushContainer(marker, std::string(marker.size(), ' '));
    }

    void PushContainer(std::string first, std::string rest) {
        const bool counted = CountedContainers() < kMaxBlockNesting;
        containers_.push_back({std::move(first), std::move(rest), false, counted});
    }

    void PopContainer() {
        if (!containers_.empty()) {
            containers_.pop_back();
        }
    }

    std::size_t CountedContainers() const {
        return static_cast<std::size_t>(std::count_if(
            containers_.begin(), containers_.end(), [](const TContainer& c) { return c.counted; }));
    }

    // The start of the next line; the first line inside a container takes its marker.
    std::string LinePrefix() {
        std::string prefix;
        for (TContainer& c : containers_) {
            if (!c.counted) {
                continue;
            }
            prefix += c.used ? c.rest : c.first;
            c.used = true;
        }
        return prefix;
    }

    // A blank line between blocks: only the containers already begun continue through it.
    void BlankLine() {
        std::string prefix;
        for (const TContainer& c : containers_) {
            if (c.counted && c.used) {
                prefix += c.rest;
            }
        }
        while (!prefix.empty() && prefix.back() == ' ') {
            prefix.pop_back();
        }
        out_ += prefix;
        out_ += '\n';
    }

    void BeginBlock() {
        if (!out_.empty()) {
            BlankLine();
        }
    }

    void EmitLine(std::string_view line) {
        BeginBlock();
        out_ += LinePrefix();
        out_ += line;
        out_ += '\n';
    }

    // Writes the paragraph (or heading) gathered so far.
    void Flush() {
        ++flushes_;
        pendingSpace_ = false;
        // A line break at the end of a paragraph would be a literal backslash: drop it.
        for (;;) {
            if (!para_.empty() && para_.back() == ' ') {
                para_.pop_back();
            } else if (para_.ends_with("\\\n")) {
                para_.resize(para_.size() - 2);
            } else {
                break;
            }
        }
        if (para_.empty()) {
            return;
        }
        BeginBlock();
        if (heading_ != 0) {
            out_ += LinePrefix();
            out_ += std::string(static_cast<std::size_t>(heading_), '#');
            out_ += ' ';
            out_ += para_;
            out_ += '\n';
        } else {
            std::size_t start = 0;
            while (start <= para_.size()) {
                std::size_t end = para_.find('\n', start);
                if (end == std::string::npos) {
                    end = para_.size();
                }
                out_ += LinePrefix();
                out_.append(para_, start, end - start);
                out_ += '\n';
                start = end + 1;
            }
        }
        para_.clear();
    }

    void CodeBlock() {
        std::size_t longest = 0;
        std::size_t run = 0;
        for (const char c : preText_) {
            run = c == '`' ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        const std::string fence(std::max<std::size_t>(3, longest + 1), '`');
        if (!preText_.empty() && preText_.back() == '\n') {
            preText_.pop_back();
        }
        BeginBlock();
        out_ += LinePrefix();
        out_ += fence;
        out_ += '\n';
        std::size_t start = 0;
        while (start <= preText_.size() && !preText_.empty()) {
            std::size_t end = preText_.find('\n', start);
            if (end == std::string::npos) {
                end = preText_.size();
            }
            out_ += LinePrefix();
            out_.append(preText_, start, end - start);
            out_ += '\n';
            start = end + 1;
        }
        out_ += LinePrefix();
        out_ += fence;
        out_ += '\n';
        preText_.clear();
    }

    std::string out_;
    std::string para_;
    bool pendingSpace_ = false;
    int heading_ = 0;
    int pre_ = 0;
    std::string preText_;
    std::size_t flushes_ = 0;
    std::vector<TContainer> containers_;
    std::vector<TList> lists_;
    std::vector<TInline> inlines_;
};

}  // namespace

std::string PostToMarkdown(std::string_view fragment) {
    const TParsedMarkup parsed(fragment, GUMBO_TAG_DIV);
    TMarkdownWriter writer(fragment.size());
    Walk(
        parsed.Root(), [&writer](const GumboNode* node) { return writer.Enter(node); },
        [&writer](const GumboNode* node) { writer.Leave(node); });
    return writer.Finish();
}

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
        [&text](const GumboNode* node) {
            if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE) {
                text.Add(node->v.text.text);
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
        [&title](const GumboNode* node) {
            if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE) {
                title.Add(node->v.text.text);
            }
            return node->type == GUMBO_NODE_ELEMENT && IsHtmlElement(node);
        },
        [](const GumboNode*) {});
    return title.Take(kMaxTitleBytes);
}
