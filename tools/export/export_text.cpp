#include "tools/export/export_text.h"

#include <cstdint>

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr char kHex[] = "0123456789ABCDEF";

void AppendPercent(std::string& out, unsigned char byte) {
    out += '%';
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

}  // namespace

std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length;
    unsigned char low = 0x80;   // bounds of the second byte, narrowed for the lead bytes that
    unsigned char high = 0xBF;  // would otherwise allow overlong forms, surrogates or > U+10FFFF
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) {
            low = 0xA0;
        } else if (lead == 0xED) {
            high = 0x9F;
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) {
            low = 0x90;
        } else if (lead == 0xF4) {
            high = 0x8F;
        }
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t n = Utf8SequenceLength(text, i);
        if (n == 0) {
            return false;
        }
        i += n;
    }
    return true;
}

std::string PercentEncodeInvalidUtf8(std::string_view address) {
    if (IsValidUtf8(address)) {
        return std::string(address);
    }
    std::string out;
    out.reserve(address.size() + 8);
    for (std::size_t i = 0; i < address.size();) {
        const std::size_t n = Utf8SequenceLength(address, i);
        if (n == 0) {
            AppendPercent(out, static_cast<unsigned char>(address[i]));
            ++i;
        } else {
            out.append(address.substr(i, n));
            i += n;
        }
    }
    return out;
}

std::string ReplaceInvalidUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = Utf8SequenceLength(text, i);
        if (n == 0) {
            out.append(kReplacement);
            ++i;
        } else {
            out.append(text.substr(i, n));
            i += n;
        }
    }
    return out;
}

std::string ReplaceControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t run = 0;  // start of the bytes kept as they are, copied in one piece
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead >= 0x20 && lead < 0x7F) {
            ++i;
            continue;
        }
        std::size_t n = 1;
        bool replace;
        if (lead < 0x80) {
            replace = lead != '\n' && lead != '\t';
        } else {
            n = Utf8SequenceLength(text, i);
            // U+0080..U+009F are encoded as C2 80..C2 9F.
            replace = n == 0 || (lead == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0);
            n = n == 0 ? 1 : n;
        }
        if (replace) {
            out.append(text.substr(run, i - run));
            out.append(kReplacement);
            run = i + n;
        }
        i += n;
    }
    out.append(text.substr(run));
    return out;
}

std::string MarkdownInline(std::string_view text) {
    const std::string clean = ReplaceControls(text);
    std::string out;
    out.reserve(clean.size() + 8);
    for (const char c : clean) {
        switch (c) {
            case '\n':
            case '\t':
                out += ' ';  // a line break would start a new block (a heading, a list)
                break;
            case '\\':
            case '`':
            case '*':
            case '_':
            case '[':
            case ']':
            case '<':
            case '>':
            case '#':
            case '!':
            case '&':
            case '|':
            case '~':
            case '+':
            case '-':
            case '=':
            case '.':
            case '(':
            case ')':
                // Punctuation a block or an inline could begin with; a backslash before ASCII
                // punctuation is always literal in CommonMark.
                out += '\\';
                out += c;
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string MarkdownAutolinkAddress(std::string_view address) {
    const std::string clean = PercentEncodeInvalidUtf8(address);
    std::string out;
    out.reserve(clean.size());
    for (std::size_t i = 0; i < clean.size(); ++i) {
        const auto byte = static_cast<unsigned char>(clean[i]);
        // C1 controls (C2 80..C2 9F) are controls to a terminal as much as the C0 ones.
        const bool c1 =
            byte == 0xC2 && i + 1 < clean.size() && static_cast<unsigned char>(clean[i + 1]) < 0xA0;
        if (byte <= 0x20 || byte == 0x7F || clean[i] == '<' || clean[i] == '>') {
            AppendPercent(out, byte);
        } else if (c1) {
            AppendPercent(out, byte);
            AppendPercent(out, static_cast<unsigned char>(clean[++i]));
        } else {
            out += clean[i];
        }
    }
    return out;
}
