#include "tools/export/html_tree.h"

#include <algorithm>

#include "view/html_nesting.h"

namespace export_html {

// ---- the parse --------------------------------------------------------------------------------

TParsedMarkup::TParsedMarkup(std::string_view markup, GumboTag context)
    : markup_(CapNesting(markup)) {
    options_ = kGumboDefaultOptions;
    options_.max_errors = 0;  // errors are not used; recording them costs memory
    options_.fragment_context = context;
    output_ = gumbo_parse_with_options(&options_, markup_.data(), markup_.size());
}

TParsedMarkup::~TParsedMarkup() {
    gumbo_destroy_output(&options_, output_);
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
