#pragma once
// Turns a downloaded body into page text. The site sends UTF-8; a body that is not well-formed
// UTF-8 becomes the empty text as a whole, so no cut ever works on half-decoded markup.

#include <string>
#include <string_view>

// True when bytes are well-formed UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF,
// no truncated sequence.
bool IsWellFormedUtf8(std::string_view bytes);

// The byte-at-a-time check, the reference for the block-wise one that IsWellFormedUtf8 uses
// where the processor has it.
bool IsWellFormedUtf8Scalar(std::string_view bytes);

// The page text of a body: the body itself when it is well-formed UTF-8, otherwise empty.
std::string DecodePage(std::string body);
