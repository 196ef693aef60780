// Address splitting and merging: each input line is an address given to one client in turn, so
// later lines are read relative to the earlier ones.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/net_exceptions.h"
#include "net/net_uri.h"

using tovalin::net::TNetURI;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    TNetURI current;
    current.Port = "80";
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view address = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);

        const TNetURI split = TNetURI::Split(address);
        // The parts of an address never hold more than the address itself.
        if (split.Path.size() + split.Document.size() + split.Params.size() > address.size() + 1)
            std::abort();
        try {
            current.Merge(split);
        } catch (const ENetUnknownProtocol&) {
            continue;
        }
        // What the request line carries can never split it: no control byte, no space.
        for (const char c : tovalin::net::WireTarget(current.Target())) {
            const auto b = static_cast<unsigned char>(c);
            if (b <= 0x20 || b >= 0x7F)
                std::abort();
        }
        try {
            tovalin::net::CheckWireAddress(current);
        } catch (const tovalin::net::ENetAddressError&) {
        }
        (void)tovalin::net::NormalisePath(address);
    }
    return 0;
}
