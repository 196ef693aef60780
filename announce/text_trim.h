#pragma once
// Trimming as the announcement page and the prompt need it: bytes of codes 0 to 32 go from both
// ends (spaces, tabs, line breaks and the other control characters), nothing else. The rule is
// the network layer's, the one trim of the program.

#include <string_view>

#include "net/net_text.h"

inline std::string_view TrimBlanks(std::string_view text) {
    return tovalin::net::Trim(text);
}
