// The sanitiser: a post's markup on an allow-list.
#include <algorithm>
#include <cstring>

#include "tools/export/export_text.h"
#include "tools/export/html_tree.h"
#include "tools/export/post_markup.h"
#include "tools/text/html_escape.h"

using namespace export_html;

namespace {

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

void AppendStartTag(std::string& out, const TParsedMarkup& parsed, const GumboNode* node,
                    const char* const* allowed) {
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
        const std::string value = parsed.Text(attribute->value);
        if (name == "title" || name == "lang") {
            AppendAttribute(out, name, value);
            continue;
        }
        if (name == "dir") {
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
            const std::string address =
                SafeAddress(value, name == "src" ? TAddressUse::Picture : TAddressUse::Link);
            if (!address.empty()) {
                AppendAttribute(out, name, address);
            }
        } else if (name == "alt" || AllDigits(value.c_str())) {
            AppendAttribute(out, name, value);
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
        [&out, &parsed](const GumboNode* node) {
            switch (node->type) {
                case GUMBO_NODE_TEXT:
                case GUMBO_NODE_WHITESPACE:
                    out += HtmlEscape(ReplaceControls(parsed.Text(node->v.text.text)));
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
                AppendStartTag(out, parsed, node, allowed);
                if (node->v.element.tag == GUMBO_TAG_PRE) {
                    // The parser drops a newline right after <pre>: keep the text's own.
                    out += '\n';
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
