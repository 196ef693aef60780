// The response reader: status line, header lines, interim responses, bodies by length, chunked
// and until close, error bodies, connection reuse. The real client reads from scripted
// connections (fake_connect.h).
//
// Input: byte 0 chooses how many requests the client makes (1 to 3) and whether the body limit
// is small; the rest is the byte streams of successive connections, separated by "\n|||\n".
// Every outcome must be a body made of the server's bytes or an error of the network family;
// anything else (another exception, a crash, a hang) is a fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "net/net_http.h"
#include "tests/fuzz/fake_connect.h"

namespace {

constexpr std::string_view kSeparator = "\n|||\n";

const char* const kAddresses[] = {
    "http://127.0.0.1/topic/1/",
    "http://127.0.0.1/topic/1/?start=100",
    "page2",
    "http://127.0.0.1:8080/a/b",
};

std::vector<std::string_view> Split(std::string_view data) {
    std::vector<std::string_view> parts;
    for (;;) {
        std::size_t at = data.find(kSeparator);
        if (at == std::string_view::npos) {
            parts.push_back(data);
            return parts;
        }
        parts.push_back(data.substr(0, at));
        data.remove_prefix(at + kSeparator.size());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::uint8_t control = data[0];
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    tovalin::fuzz::ServeConnections(Split(rest));
    {
        TNetHTTP http;
        if (control & 0x80)
            http.MaxBodySize = 64;
        const int requests = 1 + (control & 0x03) % 3;
        for (int i = 0; i < requests; ++i) {
            const char* address = kAddresses[(control >> (2 + i)) & 0x03];
            try {
                std::string body = http.Get(address);
                // A body is made of bytes the server sent, within the limit.
                if (body.size() > rest.size() || body.size() > http.MaxBodySize)
                    std::abort();
            } catch (const ENetHTTPProtocolException& e) {
                if (e.body().size() > rest.size())
                    std::abort();
            } catch (const ENetException&) {
                // Every failure of a request is one of the network family.
            }
        }
    }
    tovalin::fuzz::CloseServedConnections();
    return 0;
}
