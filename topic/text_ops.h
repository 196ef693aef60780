#pragma once
// The four text operations every cut of a page text is made with. Positions are 1-based and
// count characters of the UTF-8 text, never bytes, so a cut never lands inside a character.
//
//   pos(m, T)     first occurrence of m in T, exact; 0 when absent or when m or T is empty
//   copy(T, k, n) n characters from position k; k < 1 counts as 1; k past the end or n < 1
//                 gives the empty text; stops at the end of T
//   from(T, k)    copy(T, k, length of T)
//   trim(T)       T without the characters of codes 0 to 32 at either end
//
// Texts are views into validated UTF-8, so the results are views as well: cutting a page never
// copies the rest of it.

#include <cstddef>
#include <string_view>

namespace text {

using CharPos = std::ptrdiff_t;

CharPos pos(std::string_view m, std::string_view t);
std::string_view copy(std::string_view t, CharPos k, CharPos n);
std::string_view from(std::string_view t, CharPos k);
std::string_view trim(std::string_view t);

// Number of characters in t.
CharPos length(std::string_view t);

// Byte offset of character position k (1-based) in t: t.size() when t has fewer characters.
std::size_t byteOffset(std::string_view t, CharPos k);

}  // namespace text
