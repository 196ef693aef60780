// Small text rules shared by the network layer: trimming, letter-case-free comparison and the
// strict number readings the protocol code relies on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tovalin::net {

// Without the characters of codes 0 to 32 at either end.
std::string_view Trim(std::string_view s);
std::string_view TrimRight(std::string_view s);
std::string UpperAscii(std::string_view s);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
bool EndsWithIgnoreCase(std::string_view s, std::string_view suffix);

// Optional sign and decimal digits, nothing else; nullopt when not such a text or out of range.
std::optional<std::int64_t> ParseDecimal(std::string_view s);
// As ParseDecimal, limited to the 32-bit range.
std::optional<int> ParseDecimal32(std::string_view s);

// Four parts separated by ".", each a decimal number from 0 to 255.
bool IsIPv4Address(std::string_view s);

}  // namespace tovalin::net
