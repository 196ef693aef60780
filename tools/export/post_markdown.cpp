// The Markdown converter: a post's tree written as CommonMark.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "tools/export/export_text.h"
#include "tools/export/html_tree.h"
#include "tools/export/post_markup.h"

using namespace export_html;

namespace {

// Quotes and lists nested deeper than this are written at this depth: every level adds to the
// start of every line inside it, so a post nesting thousands of levels would grow the output
// with the square of its size.
constexpr std::size_t kMaxBlockNesting = 16;
// Emphasis and links nested deeper than this are written as their text; each level rewrites
// the text inside it once.
constexpr std::size_t kMaxInlineNesting = 8;

// What a character is to the converter: plain, white space, or punctuation that Markdown could
// read as syntax (escaped with a backslash, which before ASCII punctuation is always literal).
enum class TCharKind : unsigned char { Plain, Space, Punctuation };

constexpr std::array<TCharKind, 256> CharKinds() {
    std::array<TCharKind, 256> kinds{};
    for (const char c : std::string_view(" \t\n\r\f")) {
        kinds[static_cast<unsigned char>(c)] = TCharKind::Space;
    }
    for (const char c : std::string_view("\\`*_[]<>#!&|~+-=.():\"'{}$%,;/?@^")) {
        kinds[static_cast<unsigned char>(c)] = TCharKind::Punctuation;
    }
    return kinds;
}
constexpr std::array<TCharKind, 256> kCharKinds = CharKinds();

TCharKind KindOf(char c) {
    return kCharKinds[static_cast<unsigned char>(c)];
}

bool IsMarkdownPunctuation(char c) {
    return KindOf(c) == TCharKind::Punctuation;
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
    TMarkdownWriter(const TParsedMarkup& parsed, std::size_t sizeHint) : parsed_(parsed) {
        out_.reserve(sizeHint);
    }

    bool Enter(const GumboNode* node) {
        switch (node->type) {
            case GUMBO_NODE_TEXT:
            case GUMBO_NODE_WHITESPACE:
                Text(parsed_.Text(node->v.text.text));
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
        std::size_t i = 0;
        while (i < text.size()) {
            const TCharKind kind = KindOf(text[i]);
            if (kind == TCharKind::Space) {
                pendingSpace_ = true;
                ++i;
                continue;
            }
            if (pendingSpace_ && !para_.empty() && para_.back() != '\n') {
                para_ += ' ';
            }
            pendingSpace_ = false;
            if (kind == TCharKind::Punctuation) {
                para_ += '\\';
                para_ += text[i++];
                continue;
            }
            std::size_t end = i + 1;  // plain characters go in one piece
            while (end < text.size() && KindOf(text[end]) == TCharKind::Plain) {
                ++end;
            }
            para_.append(text, i, end - i);
            i = end;
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
        const std::string address =
            src == nullptr ? "" : SafeAddress(parsed_.Text(src), TAddressUse::Picture);
        if (address.empty()) {
            return;
        }
        const char* alt = AttributeValue(node, "alt");
        if (pendingSpace_ && !para_.empty() && para_.back() != '\n') {
            para_ += ' ';
        }
        pendingSpace_ = false;
        para_ += "![";
        para_ += MarkdownInline(alt == nullptr ? "" : parsed_.Text(alt));
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
            const std::string address =
                href == nullptr ? "" : SafeAddress(parsed_.Text(href), TAddressUse::Link);
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
            PrefixedLines(para_);
        }
        para_.clear();
    }

    // Each line of the text (an empty text is one empty line), behind the current line prefix.
    void PrefixedLines(const std::string& text) {
        std::size_t start = 0;
        while (start <= text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos) {
                end = text.size();
            }
            out_ += LinePrefix();
            out_.append(text, start, end - start);
            out_ += '\n';
            start = end + 1;
        }
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
        if (!preText_.empty()) {
            PrefixedLines(preText_);
        }
        out_ += LinePrefix();
        out_ += fence;
        out_ += '\n';
        preText_.clear();
    }

    const TParsedMarkup& parsed_;
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
    TMarkdownWriter writer(parsed, fragment.size());
    Walk(
        parsed.Root(), [&writer](const GumboNode* node) { return writer.Enter(node); },
        [&writer](const GumboNode* node) { writer.Leave(node); });
    return writer.Finish();
}
