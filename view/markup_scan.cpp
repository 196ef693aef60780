#include "view/markup_scan.h"

#include <algorithm>

namespace markup_scan {

bool IsTagSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool IsAsciiAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::size_t FindNoCase(std::string_view text, std::string_view lowerNeedle, std::size_t from) {
    const auto it = std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(),
                                lowerNeedle.begin(), lowerNeedle.end(),
                                [](char a, char b) { return Lower(a) == b; });
    return it == text.end() ? std::string_view::npos : static_cast<std::size_t>(it - text.begin());
}

std::size_t TagEnd(std::string_view markup, std::size_t from) {
    std::size_t i = from;
    while (i < markup.size()) {
        const char c = markup[i];
        if (c == '>') {
            return i;
        }
        ++i;
        if (c == '=') {
            while (i < markup.size() && IsTagSpace(markup[i])) {
                ++i;
            }
            if (i < markup.size() && (markup[i] == '"' || markup[i] == '\'')) {
                const std::size_t close = markup.find(markup[i], i + 1);
                if (close == std::string_view::npos) {
                    return close;
                }
                i = close + 1;
            }
        }
    }
    return std::string_view::npos;
}

}  // namespace markup_scan
