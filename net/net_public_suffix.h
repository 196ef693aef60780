// Public suffixes ("com", "co.uk"): names under which anyone may register a name of their own, so
// a cookie for one would go to every site below it. The list is Debian's, read through libpsl.
#pragma once

#include <string_view>

namespace tovalin::net {

// Whether `name` is a public suffix, ignoring letter case and one "." at either end. A name
// under no listed suffix is judged by the list's default rule, which makes its last label a
// suffix ("test" for "site.test"). The empty name, and a name holding a control byte, count as
// one, so neither can carry a cookie for other hosts.
bool IsPublicSuffix(std::string_view name);

}  // namespace tovalin::net
