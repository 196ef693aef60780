#include "view/html_nesting.h"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <vector>

#include "view/markup_scan.h"

namespace {

using markup_scan::FindNoCase;
using markup_scan::IsAsciiAlpha;
using markup_scan::IsTagSpace;
using markup_scan::Lower;
using markup_scan::TagEnd;

bool OneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Elements with no end tag.
bool IsVoid(std::string_view name) {
    return OneOf(
        name, {"area", "base", "br", "col", "embed", "hr", "img", "input", "keygen", "link", "meta",
               "param", "source", "track", "wbr", "basefont", "bgsound", "frame", "image"});
}

// Elements whose content is text up to their own end tag.
bool IsRawText(std::string_view name) {
    return OneOf(name, {"script", "style", "textarea", "title", "xmp", "iframe", "noembed",
                        "noframes", "noscript"});
}

// Elements that the next of their kind closes, and the document's own: never counted.
bool IsUncounted(std::string_view name) {
    return OneOf(name, {"p",     "li",    "dt",       "dd",      "tr",       "td",   "th",
                        "tbody", "thead", "tfoot",    "option",  "optgroup", "rb",   "rt",
                        "rtc",   "rp",    "colgroup", "caption", "html",     "head", "body"});
}

}  // namespace

std::string CapNesting(std::string_view markup, std::size_t maxDepth) {
    std::string out;
    out.reserve(markup.size());
    std::vector<std::string> open;
    std::unordered_map<std::string, std::size_t> removed;  // start tags removed, by name
    std::size_t i = 0;
    while (i < markup.size()) {
        const std::size_t lt = markup.find('<', i);
        if (lt == std::string_view::npos || lt + 1 >= markup.size()) {
            break;
        }
        out.append(markup.substr(i, lt - i));
        i = lt;
        if (markup.compare(lt, 4, "<!--") == 0) {
            const std::size_t end = markup.find("-->", lt + 4);
            if (end == std::string_view::npos) {
                break;
            }
            out.append(markup.substr(lt, end + 3 - lt));
            i = end + 3;
            continue;
        }
        const bool closing = markup[lt + 1] == '/';
        const std::size_t nameStart = lt + 1 + (closing ? 1 : 0);
        if (nameStart >= markup.size() || !IsAsciiAlpha(markup[nameStart])) {
            out += '<';  // not a tag: text (or a declaration, kept as it is)
            i = lt + 1;
            continue;
        }
        std::size_t nameEnd = nameStart;
        std::string name;
        while (nameEnd < markup.size() && !IsTagSpace(markup[nameEnd]) && markup[nameEnd] != '/' &&
               markup[nameEnd] != '>') {
            name += Lower(markup[nameEnd]);
            ++nameEnd;
        }
        const std::size_t end = TagEnd(markup, nameEnd);
        if (end == std::string_view::npos) {
            break;  // an unfinished tag runs to the end: kept as it is
        }
        const std::string_view tag = markup.substr(lt, end + 1 - lt);
        i = end + 1;
        if (closing) {
            if (auto r = removed.find(name); r != removed.end() && r->second > 0) {
                --r->second;  // the end of a removed element goes with it
                continue;
            }
            const auto match = std::find(open.rbegin(), open.rend(), name);
            if (match != open.rend()) {
                open.erase(std::next(match).base(), open.end());
            }
            out.append(tag);
            continue;
        }
        out.append(tag);
        if (IsRawText(name)) {
            // Its content is text up to its own end tag, whatever it looks like.
            std::size_t close = FindNoCase(markup, "</" + name, i);
            if (close == std::string_view::npos) {
                close = markup.size();
            }
            out.append(markup.substr(i, close - i));
            i = close;
            continue;
        }
        if (name == "plaintext") {
            break;  // the rest is text
        }
        if (IsVoid(name) || tag[tag.size() - 2] == '/' || IsUncounted(name)) {
            continue;
        }
        if (open.size() >= maxDepth) {
            out.resize(out.size() - tag.size());
            ++removed[name];
            continue;
        }
        open.push_back(std::move(name));
    }
    out.append(markup.substr(std::min(i, markup.size())));
    return out;
}
