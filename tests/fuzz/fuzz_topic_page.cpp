// The cut of one topic page: decoding, the starter's link, name and opening post, the replies
// under one key and the next-page address; and the text operations those cuts are made of.
//
// Input: bytes 0 to 3 give a position and a count for the text operations; the rest is the
// page body.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "topic/text_ops.h"
#include "topic/topic_cutting.h"
#include "topic/utf8_decode.h"

namespace {

bool Within(std::string_view part, std::string_view whole) {
    return part.empty() || (part.data() >= whole.data() &&
                            part.data() + part.size() <= whole.data() + whole.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4)
        return 0;
    const text::CharPos k = static_cast<std::int8_t>(data[0]) * 256 + data[1];
    const text::CharPos n = static_cast<std::int8_t>(data[2]) * 256 + data[3];
    const std::string page =
        DecodePage(std::string(reinterpret_cast<const char*>(data) + 4, size - 4));
    if (!IsWellFormedUtf8(page))
        std::abort();

    // The text operations never cut a character in two and never leave the text.
    const std::string_view copied = text::copy(page, k, n);
    const std::string_view rest = text::from(page, k);
    const std::string_view trimmed = text::trim(page);
    if (!Within(copied, page) || !Within(rest, page) || !Within(trimmed, page) ||
        !IsWellFormedUtf8(copied) || !IsWellFormedUtf8(rest))
        std::abort();
    if (n >= 0 && text::length(copied) > n)
        std::abort();
    const text::CharPos at = text::pos(copied, page);
    if (at < 0 || at > text::length(page))
        std::abort();

    const TStarterPieces pieces = CutStarter(page);
    if (!IsWellFormedUtf8(pieces.StarterName) || !IsWellFormedUtf8(pieces.FirstPost) ||
        !Within(pieces.Rest, page))
        std::abort();
    const std::string key =
        ReplyKey(pieces.StarterName, ChooseSuffix(pieces.StarterName, pieces.Rest));
    std::size_t count = 0;
    const std::string_view left = CutReplies(
        pieces.Rest, [&key] { return key; },
        [&](std::string_view fragment) {
            ++count;
            if (!IsWellFormedUtf8(fragment) || fragment.size() > page.size())
                std::abort();
        });
    // Every reply consumes at least its key, so the count is bounded by the page.
    if (count > page.size() / key.size() + 1 || !Within(left, page))
        std::abort();
    const std::string next = NextPageAddress(left);
    if (!IsWellFormedUtf8(next) || next.size() > page.size())
        std::abort();
    return 0;
}
