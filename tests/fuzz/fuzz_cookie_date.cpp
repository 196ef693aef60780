// Expiry dates: any text either reads as a date or is unreadable, and blanks around it change
// nothing, since the text is trimmed first.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/net_cookie_date.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto date = tovalin::net::ParseCookieDate(text);
    const auto padded = tovalin::net::ParseCookieDate(" \t" + std::string(text) + "\r\n ");
    if (date != padded)
        std::abort();
    return 0;
}
