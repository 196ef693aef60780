// What one Get gave, in one comparable text: "" for success, otherwise the error's class and
// message (and the status code of a protocol error).
#pragma once

#include <string>

#include "net/net_http.h"

namespace tovalin::test {

inline std::string GetOutcome(TNetHTTP& http, const std::string& url, std::string& body) {
    body.clear();
    try {
        body = http.Get(url);
        return "";
    } catch (const ENetHTTPProtocolException& e) {
        body = e.body();
        return std::string(e.ClassName()) + "|" + e.what() + "|" + std::to_string(e.code());
    } catch (const ENetException& e) {
        return std::string(e.ClassName()) + "|" + e.what();
    }
}

}  // namespace tovalin::test
