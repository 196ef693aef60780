#include "topic/utf8_decode.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

bool IsWellFormedUtf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            // Markup is mostly ASCII: step over it sixteen bytes at a time.
            while (i + 16 <= n) {
                std::uint64_t block[2];
                std::memcpy(block, p + i, sizeof block);
                if ((block[0] | block[1]) & 0x8080808080808080ULL) {
                    break;
                }
                i += 16;
            }
            continue;
        }
        // Chinese text is mostly three-byte characters whose lead byte needs no range check of
        // the second byte (all but E0 and ED): test the whole sequence in one go.
        if (i + 4 <= n && b != 0xE0 && b != 0xED) {
            std::uint32_t word;
            std::memcpy(&word, p + i, sizeof word);
            const unsigned char* w = reinterpret_cast<const unsigned char*>(&word);
            if ((w[0] & 0xF0) == 0xE0 && (w[1] & 0xC0) == 0x80 && (w[2] & 0xC0) == 0x80) {
                i += 3;
                continue;
            }
        }
        // Lead byte ranges and the allowed range of the second byte (Unicode table 3-7).
        std::size_t extra = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
        } else if (b == 0xE0) {
            extra = 2;
            low = 0xA0;
        } else if (b >= 0xE1 && b <= 0xEC) {
            extra = 2;
        } else if (b == 0xED) {
            extra = 2;
            high = 0x9F;
        } else if (b >= 0xEE && b <= 0xEF) {
            extra = 2;
        } else if (b == 0xF0) {
            extra = 3;
            low = 0x90;
        } else if (b >= 0xF1 && b <= 0xF3) {
            extra = 3;
        } else if (b == 0xF4) {
            extra = 3;
            high = 0x8F;
        } else {
            return false;
        }
        if (n - i <= extra) {
            return false;
        }
        if (p[i + 1] < low || p[i + 1] > high) {
            return false;
        }
        for (std::size_t k = 2; k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) {
                return false;
            }
        }
        i += extra + 1;
    }
    return true;
}

std::string DecodePage(std::string body) {
    if (!IsWellFormedUtf8(body)) {
        return {};
    }
    return body;
}
