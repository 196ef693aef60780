#include "tools/sample-site/http_exchange.h"

#include <algorithm>
#include <cctype>

namespace {

// Chunks of this size make a body of a few kilobytes span several chunks, as servers do.
constexpr size_t kChunkSize = 4096;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') {
        s.remove_prefix(1);
    }
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') {
        s.remove_suffix(1);
    }
    return s;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool IsToken(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) {
        return c > ' ' && c < 127 && c != ':';
    });
}

std::string Hex(size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    do {
        out.insert(out.begin(), digits[n % 16]);
        n /= 16;
    } while (n != 0);
    return out;
}

}  // namespace

std::string SiteRequest::Header(std::string_view lowerName) const {
    for (const auto& [name, value] : headers) {
        if (name == lowerName) {
            return value;
        }
    }
    return {};
}

std::optional<std::string> SiteRequest::QueryValue(std::string_view wanted) const {
    std::string_view rest = query;
    while (!rest.empty()) {
        const size_t amp = rest.find('&');
        const std::string_view pair = rest.substr(0, amp);
        const size_t eq = pair.find('=');
        if (pair.substr(0, eq) == wanted) {
            return std::string(eq == std::string_view::npos ? "" : pair.substr(eq + 1));
        }
        rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
    }
    return std::nullopt;
}

std::optional<std::string> SiteRequest::CookieValue(std::string_view wanted) const {
    for (const auto& [name, value] : headers) {
        if (name != "cookie") {
            continue;
        }
        std::string_view rest = value;
        while (!rest.empty()) {
            const size_t semi = rest.find(';');
            const std::string_view pair = Trim(rest.substr(0, semi));
            const size_t eq = pair.find('=');
            if (eq != std::string_view::npos && Trim(pair.substr(0, eq)) == wanted) {
                return std::string(Trim(pair.substr(eq + 1)));
            }
            rest = semi == std::string_view::npos ? std::string_view() : rest.substr(semi + 1);
        }
    }
    return std::nullopt;
}

bool SiteRequest::WantsKeepAlive() const {
    const std::string connection = Lower(Header("connection"));
    if (connection.find("close") != std::string::npos) {
        return false;
    }
    return !http10 || connection.find("keep-alive") != std::string::npos;
}

std::optional<SiteRequest> ParseRequestHead(std::string_view head) {
    SiteRequest request;
    size_t lineEnd = head.find("\r\n");
    const std::string_view requestLine = head.substr(0, lineEnd);
    const size_t firstSpace = requestLine.find(' ');
    const size_t lastSpace = requestLine.rfind(' ');
    if (firstSpace == std::string_view::npos || lastSpace == firstSpace) {
        return std::nullopt;
    }
    request.method = std::string(requestLine.substr(0, firstSpace));
    request.target = std::string(requestLine.substr(firstSpace + 1, lastSpace - firstSpace - 1));
    const std::string_view version = requestLine.substr(lastSpace + 1);
    if (!IsToken(request.method) || request.target.empty() ||
        request.target.find(' ') != std::string::npos || version.substr(0, 5) != "HTTP/") {
        return std::nullopt;
    }
    request.http10 = version == "HTTP/1.0";
    const size_t question = request.target.find('?');
    request.path = request.target.substr(0, question);
    if (question != std::string::npos) {
        request.query = request.target.substr(question + 1);
    }
    while (lineEnd != std::string_view::npos) {
        const size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string_view line = head.substr(start, lineEnd - start);
        if (line.empty()) {
            continue;
        }
        if ((line.front() == ' ' || line.front() == '\t') && !request.headers.empty()) {
            // A folded continuation joins the previous value.
            request.headers.back().second += " " + std::string(Trim(line));
            continue;
        }
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || !IsToken(line.substr(0, colon))) {
            return std::nullopt;
        }
        request.headers.emplace_back(Lower(line.substr(0, colon)),
                                     std::string(Trim(line.substr(colon + 1))));
    }
    return request;
}

const char* ReasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 413:
            return "Payload Too Large";
        case 431:
            return "Request Header Fields Too Large";
        case 503:
            return "Service Unavailable";
        default:
            return "Unknown";
    }
}

std::string SerializeResponse(const SiteResponse& response, bool chunked, bool headOnly) {
    std::string out = "HTTP/1.1 " + std::to_string(response.status) + " " +
                      ReasonPhrase(response.status) + "\r\n";
    out += "Server: tovalin-sample-site\r\n";
    out += "Content-Type: " + response.contentType + "\r\n";
    for (const auto& [name, value] : response.headers) {
        out += name + ": " + value + "\r\n";
    }
    if (response.close) {
        out += "Connection: close\r\n";
    }
    if (chunked) {
        out += "Transfer-Encoding: chunked\r\n\r\n";
        if (headOnly) {
            return out;
        }
        out.reserve(out.size() + response.body.size() + response.body.size() / kChunkSize * 8 + 16);
        for (size_t at = 0; at < response.body.size(); at += kChunkSize) {
            const size_t n = std::min(kChunkSize, response.body.size() - at);
            out += Hex(n) + "\r\n";
            out.append(response.body, at, n);
            out += "\r\n";
        }
        out += "0\r\n\r\n";
        return out;
    }
    out += "Content-Length: " + std::to_string(response.body.size()) + "\r\n\r\n";
    if (!headOnly) {
        out += response.body;
    }
    return out;
}
