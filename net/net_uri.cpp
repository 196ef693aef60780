#include "net/net_uri.h"

#include <algorithm>
#include <cstdio>

#include "net/net_exceptions.h"
#include "net/net_text.h"

namespace tovalin::net {
namespace {

constexpr std::string_view kSchemeMark = "://";

// Splits at the first '#': returns true and moves the tail to bookmark when one occurs.
bool CutBookmark(std::string& text, std::string& bookmark) {
    auto hash = text.find('#');
    if (hash == std::string::npos)
        return false;
    bookmark = text.substr(hash + 1);
    text.erase(hash);
    return true;
}

bool IsControlByte(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// "0x0D (CR)": the byte in hexadecimal, with its usual name where it has one.
std::string DescribeByte(unsigned char c) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", c);
    const char* name = c == '\r'   ? "CR"
                       : c == '\n' ? "LF"
                       : c == 0    ? "NUL"
                       : c == '\t' ? "TAB"
                       : c == 0x7F ? "DEL"
                                   : nullptr;
    return name ? std::string(hex) + " (" + name + ")" : std::string(hex);
}

void CheckPart(std::string_view text, const char* part) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (IsControlByte(c)) {
            throw ENetAddressError("Control byte " + DescribeByte(c) + " at offset " +
                                   std::to_string(i) + " of the request " + part +
                                   "; nothing was sent.");
        }
    }
}

}  // namespace

void CheckWireAddress(const TNetURI& url) {
    CheckPart(url.Target(), "target");
    CheckPart(url.HostValue(), "host");
}

std::string WireTarget(std::string_view target) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(target.size());
    for (char ch : target) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == ' ' || c >= 0x80 || IsControlByte(c)) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

TNetURI TNetURI::Split(std::string_view address) {
    TNetURI uri;
    std::string a(address);
    std::replace(a.begin(), a.end(), '\\', '/');

    std::string rest;
    const auto mark = a.find(kSchemeMark);
    const bool hasScheme = mark != std::string::npos;
    if (hasScheme) {
        uri.Protocol = a.substr(0, mark);
        rest = a.substr(mark + kSchemeMark.size());
        std::string authority;
        auto slash = rest.find('/');
        if (slash == std::string::npos) {
            authority = rest;
            rest.clear();
        } else {
            authority = rest.substr(0, slash);
            rest.erase(0, slash + 1);
        }
        auto at = authority.find('@');
        if (at != std::string::npos) {
            std::string userInfo = authority.substr(0, at);
            authority.erase(0, at + 1);
            auto colon = userInfo.find(':');
            uri.Username = userInfo.substr(0, colon);
            if (colon != std::string::npos && !uri.Username.empty()) {
                uri.Password = userInfo.substr(colon + 1);
            }
        }
        auto colon = authority.find(':');
        uri.Host = authority.substr(0, colon);
        if (colon != std::string::npos)
            uri.Port = authority.substr(colon + 1);
    } else {
        rest = a;
    }

    // q and p as 1-based positions, 0 meaning "none".
    std::size_t q = rest.find('?');
    if (q == std::string::npos)
        q = rest.find('=');
    q = q == std::string::npos ? 0 : q + 1;
    std::size_t p;
    if (q != 0) {
        auto last = q > 1 ? rest.rfind('/', q - 2) : std::string::npos;
        p = last == std::string::npos ? 0 : last + 1;
    } else {
        auto last = rest.rfind('/');
        p = last == std::string::npos ? 0 : last + 1;
    }

    uri.Path = (hasScheme ? "/" : "") + rest.substr(0, p);
    if (q != 0) {
        uri.Document = rest.substr(p, q - 1 - p);
        uri.Params = rest.substr(q - 1);
    } else {
        uri.Document = rest.substr(p);
    }

    bool found = hasScheme && CutBookmark(uri.Document, uri.Bookmark);
    if (!found)
        CutBookmark(uri.Params, uri.Bookmark);
    return uri;
}

std::string NormalisePath(std::string_view path) {
    std::string out;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (c == '/') {
            if (out.empty() || out.back() != '/')
                out.push_back('/');
        } else if (c == '.' && i + 1 < path.size() && path[i + 1] == '.' && !out.empty() &&
                   out.back() == '/') {
            out.pop_back();
            auto prev = out.rfind('/');
            out.erase(prev == std::string::npos ? 0 : prev + 1);
            ++i;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

void TNetURI::Merge(const TNetURI& address) {
    const std::string& ap = address.Path;
    if (!ap.empty() && ap.front() == '/') {
        Path = ap;
    } else {
        std::string joined = Path;
        if (!joined.empty() && joined.back() != '/')
            joined.push_back('/');
        joined += ap;
        Path = NormalisePath(joined);
        const bool keepSlash = Path == "/" || ap.empty() || ap.back() == '/';
        if (!keepSlash && !Path.empty() && Path.back() == '/')
            Path.pop_back();
    }

    Document = address.Document;
    Params = address.Params;
    Bookmark = address.Bookmark;
    if (!address.Host.empty())
        Host = address.Host;
    Protocol = address.Protocol.empty() ? "http" : address.Protocol;

    if (!address.Port.empty()) {
        Port = address.Port;
    } else {
        const int current = ParseDecimal32(Port).value_or(0);
        if (current == 0 || current == 80 || current == 443) {
            if (EqualsIgnoreCase(Protocol, "http")) {
                Port = "80";
            } else if (EqualsIgnoreCase(Protocol, "https")) {
                Port = "443";
            } else {
                throw ENetUnknownProtocol("");
            }
        }
    }

    if (!address.Username.empty()) {
        Username = address.Username;
        Password = address.Password;
    }
}

std::string TNetURI::HostValue() const {
    return Port == "80" ? Host : Host + ":" + Port;
}

}  // namespace tovalin::net
