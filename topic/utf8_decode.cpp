#include "topic/utf8_decode.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

bool IsWellFormedUtf8Scalar(std::string_view bytes) {
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

#if defined(__x86_64__) || defined(__i386__)
namespace {

// Sixteen bytes at a time with byte shuffles as table lookups: every pair of neighbouring bytes
// is classified by the high nibble of the first, its low nibble and the high nibble of the
// second; a class present in all three lookups is an error. Continuations required by three-
// and four-byte leads further back are checked separately, and a block that ends inside a
// character carries that over to the next block.
constexpr std::uint8_t kTooShort = 1 << 0;   // lead or ASCII, then a lead or ASCII too early
constexpr std::uint8_t kTooLong = 1 << 1;    // ASCII, then a continuation
constexpr std::uint8_t kOverlong3 = 1 << 2;  // E0 80..9F
constexpr std::uint8_t kTooLarge = 1 << 3;   // F4 90.., F5..
constexpr std::uint8_t kSurrogate = 1 << 4;  // ED A0..BF
constexpr std::uint8_t kOverlong2 = 1 << 5;  // C0, C1
constexpr std::uint8_t kTooLarge1000 = 1 << 6;
constexpr std::uint8_t kOverlong4 = 1 << 6;  // F0 80..8F
constexpr std::uint8_t kTwoConts = 1 << 7;   // continuation, then continuation (unless required)
constexpr std::uint8_t kCarry = kTooShort | kTooLong | kTwoConts;

__attribute__((target("ssse3"))) __m128i Lookup(__m128i table, __m128i nibbles) {
    return _mm_shuffle_epi8(table, nibbles);
}

__attribute__((target("ssse3"))) __m128i HighNibbles(__m128i bytes) {
    return _mm_and_si128(_mm_srli_epi16(bytes, 4), _mm_set1_epi8(0x0F));
}

__attribute__((target("ssse3"))) __m128i SpecialCases(__m128i input, __m128i prev1) {
    const __m128i byte1High =
        Lookup(_mm_setr_epi8(kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong,
                             kTooLong, kTwoConts, kTwoConts, kTwoConts, kTwoConts,
                             kTooShort | kOverlong2, kTooShort, kTooShort | kOverlong3 | kSurrogate,
                             static_cast<char>(kTooShort | kTooLarge | kTooLarge1000 | kOverlong4)),
               HighNibbles(prev1));
    constexpr char kLarge = static_cast<char>(kCarry | kTooLarge | kTooLarge1000);
    const __m128i byte1Low =
        Lookup(_mm_setr_epi8(static_cast<char>(kCarry | kOverlong3 | kOverlong2 | kOverlong4),
                             static_cast<char>(kCarry | kOverlong2), static_cast<char>(kCarry),
                             static_cast<char>(kCarry), static_cast<char>(kCarry | kTooLarge),
                             kLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge,
                             static_cast<char>(kLarge | kSurrogate), kLarge, kLarge),
               _mm_and_si128(prev1, _mm_set1_epi8(0x0F)));
    constexpr char kCont1000 = static_cast<char>(kTooLong | kOverlong2 | kTwoConts | kOverlong3 |
                                                 kTooLarge1000 | kOverlong4);
    constexpr char kCont1001 =
        static_cast<char>(kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge);
    constexpr char kCont101 =
        static_cast<char>(kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge);
    const __m128i byte2High =
        Lookup(_mm_setr_epi8(kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
                             kTooShort, kTooShort, kCont1000, kCont1001, kCont101, kCont101,
                             kTooShort, kTooShort, kTooShort, kTooShort),
               HighNibbles(input));
    return _mm_and_si128(_mm_and_si128(byte1High, byte1Low), byte2High);
}

__attribute__((target("ssse3"))) __m128i BlockErrors(__m128i input, __m128i previous) {
    const __m128i prev1 = _mm_alignr_epi8(input, previous, 15);
    const __m128i prev2 = _mm_alignr_epi8(input, previous, 14);
    const __m128i prev3 = _mm_alignr_epi8(input, previous, 13);
    const __m128i special = SpecialCases(input, prev1);
    // Bytes that must be continuations: two after a three- or four-byte lead, three after a
    // four-byte lead. Exactly there the "two continuations" class is expected, not an error.
    const __m128i thirdByte = _mm_subs_epu8(prev2, _mm_set1_epi8(static_cast<char>(0xE0 - 0x80)));
    const __m128i fourthByte = _mm_subs_epu8(prev3, _mm_set1_epi8(static_cast<char>(0xF0 - 0x80)));
    const __m128i must23 =
        _mm_and_si128(_mm_or_si128(thirdByte, fourthByte), _mm_set1_epi8(static_cast<char>(0x80)));
    return _mm_xor_si128(must23, special);
}

// Non-zero where the block ends inside a character.
__attribute__((target("ssse3"))) __m128i Incomplete(__m128i input) {
    const __m128i limits = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                         static_cast<char>(0xF0 - 1), static_cast<char>(0xE0 - 1),
                                         static_cast<char>(0xC0 - 1));
    return _mm_subs_epu8(input, limits);
}

__attribute__((target("ssse3"))) bool IsWellFormedUtf8Blocks(std::string_view bytes) {
    constexpr std::size_t kBlock = 16;
    const char* p = bytes.data();
    const std::size_t n = bytes.size();
    __m128i errors = _mm_setzero_si128();
    __m128i previous = _mm_setzero_si128();
    __m128i previousIncomplete = _mm_setzero_si128();
    std::size_t i = 0;
    auto check = [&](__m128i input) {
        if (_mm_movemask_epi8(input) == 0) {
            // All ASCII: only a character left open by the block before can be wrong here.
            errors = _mm_or_si128(errors, previousIncomplete);
        } else {
            errors = _mm_or_si128(errors, BlockErrors(input, previous));
            previousIncomplete = Incomplete(input);
        }
        previous = input;
    };
    for (; i + kBlock <= n; i += kBlock) {
        check(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
    }
    if (i < n) {
        // The tail, padded with NUL bytes: a character cut short before them is an error.
        alignas(16) char tail[kBlock] = {};
        std::memcpy(tail, p + i, n - i);
        check(_mm_load_si128(reinterpret_cast<const __m128i*>(tail)));
    }
    errors = _mm_or_si128(errors, previousIncomplete);
    return _mm_movemask_epi8(_mm_cmpeq_epi8(errors, _mm_setzero_si128())) == 0xFFFF;
}

}  // namespace

bool IsWellFormedUtf8(std::string_view bytes) {
    static const bool blocks = __builtin_cpu_supports("ssse3");
    return blocks ? IsWellFormedUtf8Blocks(bytes) : IsWellFormedUtf8Scalar(bytes);
}
#else
bool IsWellFormedUtf8(std::string_view bytes) {
    return IsWellFormedUtf8Scalar(bytes);
}
#endif

std::string DecodePage(std::string body) {
    if (!IsWellFormedUtf8(body)) {
        return {};
    }
    return body;
}
