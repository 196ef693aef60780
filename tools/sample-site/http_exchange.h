#pragma once
// The request and response forms the sample site speaks: parsing one request head and writing
// one response, with a Content-Length or in chunked transfer coding.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct SiteRequest {
    std::string method;
    std::string target;  // as sent, e.g. "/group/topic/1001/?start=20"
    std::string path;    // target up to "?"
    std::string query;   // after "?", empty when none
    bool http10 = false;
    // Header names in lower case, values trimmed, in arrival order.
    std::vector<std::pair<std::string, std::string>> headers;

    // The first value of a header (name in lower case), or empty.
    std::string Header(std::string_view lowerName) const;
    // The value of one query parameter, or nothing.
    std::optional<std::string> QueryValue(std::string_view name) const;
    // The value of one cookie from the "Cookie" headers, or nothing.
    std::optional<std::string> CookieValue(std::string_view name) const;
    // Whether the client wants the connection kept after this exchange.
    bool WantsKeepAlive() const;
};

struct SiteResponse {
    int status = 200;
    std::string contentType = "text/html; charset=utf-8";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;  // extra, e.g. Set-Cookie
    bool close = false;  // announce "Connection: close" and close after sending
};

// Parses a request head (everything before the blank line, without it). Nothing on a head
// that is not "METHOD SP TARGET SP HTTP/x.y" followed by "Name: value" lines.
std::optional<SiteRequest> ParseRequestHead(std::string_view head);

// The bytes of a response. `chunked` sends the body in chunks instead of with a length;
// `headOnly` leaves the body out (answer to HEAD) but keeps the headers that describe it.
std::string SerializeResponse(const SiteResponse& response, bool chunked, bool headOnly);

const char* ReasonPhrase(int status);
