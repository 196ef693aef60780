#pragma once
// Trimming as the announcement page and the prompt need it: bytes of codes 0 to 32 go from both
// ends (spaces, tabs, line breaks and the other control characters), nothing else.

#include <string_view>

inline bool IsBlankByte(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

inline std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlankByte(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlankByte(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}
