#pragma once
// What the desktop opener may be given: web addresses only. An announcement page is not ours;
// a "file:", "ssh:" or "javascript:" address, or a bare path, from it must never reach the
// system's opener, which would hand it to whatever program claims that kind of address.

#include <stdexcept>
#include <string>
#include <string_view>

// True when `address` begins with "http://" or "https://" (the scheme in any letter case) and
// names something after it. Nothing is trimmed: a blank before the scheme fails.
bool IsWebAddress(std::string_view address);

// The error an address that is not a web address raises; its message names the address.
class EAddressRefused : public std::runtime_error {
  public:
    explicit EAddressRefused(const std::string& address)
        : std::runtime_error("Only web addresses (http, https) are opened, not \"" + address +
                             "\"") {}
};
