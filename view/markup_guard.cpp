#include "view/markup_guard.h"

#include <gumbo.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "view/html_nesting.h"

namespace {

constexpr std::string_view kName = "http-equiv";
constexpr std::size_t kHyphen = 4;  // "http" | "-" | "equiv"

bool StartsWithNoCase(std::string_view text, std::size_t at, std::string_view lowerNeedle) {
    if (at + lowerNeedle.size() > text.size()) {
        return false;
    }
    for (std::size_t i = 0; i < lowerNeedle.size(); ++i) {
        char c = text[at + i];
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
        if (c != lowerNeedle[i]) {
            return false;
        }
    }
    return true;
}

// The source ranges of every start tag the parser built an element from, in source order.
std::vector<std::string_view> StartTags(const GumboNode* root) {
    std::vector<std::string_view> tags;
    std::vector<const GumboNode*> stack{root};
    while (!stack.empty()) {
        const GumboNode* node = stack.back();
        stack.pop_back();
        const GumboVector* children = nullptr;
        if (node->type == GUMBO_NODE_DOCUMENT) {
            children = &node->v.document.children;
        } else if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE) {
            const GumboStringPiece& tag = node->v.element.original_tag;
            if (tag.length > 0) {
                tags.emplace_back(tag.data, tag.length);
            }
            children = &node->v.element.children;
        }
        if (children != nullptr) {
            for (unsigned int i = 0; i < children->length; ++i) {
                stack.push_back(static_cast<const GumboNode*>(children->data[i]));
            }
        }
    }
    std::sort(tags.begin(), tags.end(),
              [](std::string_view a, std::string_view b) { return a.data() < b.data(); });
    return tags;
}

}  // namespace

QString DisarmHttpEquiv(const QString& markup) {
    if (!markup.contains(QLatin1String(kName.data(), kName.size()), Qt::CaseInsensitive)) {
        return markup;
    }
    const std::string page = CapNesting(markup.toStdString());
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;
    GumboOutput* parsed = gumbo_parse_with_options(&options, page.data(), page.size());
    const std::vector<std::string_view> tags = StartTags(parsed->document);

    std::string out;
    out.reserve(page.size() + 16);
    std::size_t copied = 0;  // bytes of page already in out
    for (const std::string_view tag : tags) {
        const std::size_t start = static_cast<std::size_t>(tag.data() - page.data());
        if (start < copied) {
            continue;  // one source tag serving two elements (the parser may reopen one)
        }
        for (std::size_t at = start; at < start + tag.size(); ++at) {
            if (StartsWithNoCase(page, at, kName) && at + kName.size() <= start + tag.size()) {
                out.append(page, copied, at + kHyphen - copied);
                out += "&#45;";
                copied = at + kHyphen + 1;
                at += kName.size() - 1;
            }
        }
    }
    out.append(page, copied, std::string::npos);
    gumbo_destroy_output(&options, parsed);
    return QString::fromStdString(out);
}
