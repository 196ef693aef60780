#include "net/net_header_fold.h"
#include "net/net_http.h"
#include "net/net_uri.h"

namespace tovalin::net {

std::vector<std::string> TNetHTTPRequest::HeadLines(const std::string& protocolVersion,
                                                    const std::string& cookie) const {
    std::vector<std::string> lines;
    lines.push_back(Method + " " + WireTarget(Target) + " HTTP/" + protocolVersion);
    auto add = [&](const std::string& name, const std::string& value) {
        for (auto& piece : FoldHeaderLine(name + ": " + value))
            lines.push_back(std::move(piece));
    };
    add("Content-Type", ContentType);
    if (!Host.empty())
        add("Host", Host);
    add("Accept", Accept);
    add("User-Agent", UserAgent);
    if (!cookie.empty())
        add("Cookie", cookie);
    return lines;
}

}  // namespace tovalin::net
