#include "app/web_address.h"

#include "net/net_text.h"

bool IsWebAddress(std::string_view address) {
    for (const std::string_view scheme :
         {std::string_view("http://"), std::string_view("https://")}) {
        if (address.size() > scheme.size() &&
            tovalin::net::EqualsIgnoreCase(address.substr(0, scheme.size()), scheme)) {
            return true;
        }
    }
    return false;
}
