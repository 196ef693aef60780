#include "topic/text_ops.h"

#include "net/net_text.h"

namespace text {
namespace {

// A byte that continues a multi-byte character; every other byte starts one.
bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The byte offset after skipping `count` characters from the start of t (t.size() at most).
std::size_t skipChars(std::string_view t, CharPos count) {
    std::size_t at = 0;
    while (count > 0 && at < t.size()) {
        ++at;
        while (at < t.size() && isContinuation(static_cast<unsigned char>(t[at]))) {
            ++at;
        }
        --count;
    }
    return at;
}

}  // namespace

CharPos length(std::string_view t) {
    CharPos count = 0;
    for (const char c : t) {
        if (!isContinuation(static_cast<unsigned char>(c))) {
            ++count;
        }
    }
    return count;
}

std::size_t byteOffset(std::string_view t, CharPos k) {
    return skipChars(t, k - 1);
}

CharPos pos(std::string_view m, std::string_view t) {
    if (m.empty() || t.empty()) {
        return 0;
    }
    // Both texts are well-formed UTF-8, so a byte match always starts on a character boundary.
    const std::size_t at = t.find(m);
    if (at == std::string_view::npos) {
        return 0;
    }
    return length(t.substr(0, at)) + 1;
}

std::string_view copy(std::string_view t, CharPos k, CharPos n) {
    if (k < 1) {
        k = 1;
    }
    if (n < 1) {
        return {};
    }
    const std::size_t start = skipChars(t, k - 1);
    if (start >= t.size()) {
        return {};
    }
    const std::string_view rest = t.substr(start);
    return rest.substr(0, skipChars(rest, n));
}

std::string_view from(std::string_view t, CharPos k) {
    if (k < 1) {
        k = 1;
    }
    const std::size_t start = skipChars(t, k - 1);
    return start >= t.size() ? std::string_view{} : t.substr(start);
}

std::string_view trim(std::string_view t) {
    return tovalin::net::Trim(t);
}

}  // namespace text
