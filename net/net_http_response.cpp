#include "net/net_http_response.h"

#include "net/net_exceptions.h"
#include "net/net_text.h"

namespace tovalin::net {
namespace {

// Sixteen hexadecimal digits already reach 2^64; anything longer cannot be a size.
constexpr std::size_t kMaxChunkSizeDigits = 16;
constexpr std::int64_t kMaxChunkSize = INT64_MAX;

bool IsContinuation(const std::string& line) {
    return !line.empty() && (line.front() == ' ' || line.front() == '\t');
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string TNetHeaderList::ValueAt(std::size_t index) const {
    const std::string& line = lines_[index];
    std::string value(Trim(std::string_view(line).substr(line.find(':') + 1)));
    // Joined in place: a head of many short continuation lines stays linear to read.
    for (std::size_t i = index + 1; i < lines_.size() && IsContinuation(lines_[i]); ++i) {
        // Trim(value) + " " + Trim(line), without copying the value each time: a leading blank
        // can only come from an empty value joined before, so the erase at the front is rare.
        const std::string_view kept = Trim(value);
        if (kept.empty()) {
            value.clear();
        } else {
            const auto lead = static_cast<std::size_t>(kept.data() - value.data());
            value.resize(lead + kept.size());
            value.erase(0, lead);
        }
        value += ' ';
        value += Trim(lines_[i]);
    }
    return value;
}

std::size_t TNetHeaderList::NextNamed(std::string_view name, std::size_t from) const {
    for (std::size_t i = from; i < lines_.size(); ++i) {
        const std::string& line = lines_[i];
        const auto colon = line.find(':');
        if (colon == std::string::npos || IsContinuation(line))
            continue;
        if (EqualsIgnoreCase(Trim(std::string_view(line).substr(0, colon)), name)) {
            return i;
        }
    }
    return std::string::npos;
}

std::string TNetHeaderList::Value(std::string_view name) const {
    const std::size_t at = NextNamed(name, 0);
    return at == std::string::npos ? std::string() : ValueAt(at);
}

std::vector<std::string> TNetHeaderList::Values(std::string_view name) const {
    std::vector<std::string> values;
    for (std::size_t at = NextNamed(name, 0); at != std::string::npos;
         at = NextNamed(name, at + 1)) {
        values.push_back(ValueAt(at));
    }
    return values;
}

int StatusCodeOf(std::string_view statusLine) {
    auto space = statusLine.find(' ');
    if (space == std::string_view::npos)
        return -1;
    std::string_view rest = Trim(statusLine.substr(space + 1));
    rest = rest.substr(0, rest.find(' '));
    return ParseDecimal32(rest).value_or(-1);
}

std::int64_t ChunkSizeOf(std::string_view line) {
    std::string_view text = line.substr(0, line.find_first_of(" \t;"));
    std::size_t significant = 0;
    std::uint64_t value = 0;
    for (char c : text) {
        int d = HexDigit(c);
        if (d < 0)
            return 0;
        if (significant > 0 || d != 0)
            ++significant;
        if (significant > kMaxChunkSizeDigits)
            throw ENetException("Chunk size too large.");
        value = (value << 4) | static_cast<std::uint64_t>(d);
    }
    if (value > static_cast<std::uint64_t>(kMaxChunkSize)) {
        throw ENetException("Chunk size too large.");
    }
    return static_cast<std::int64_t>(value);
}

void TNetHTTPResponse::ReadValues() {
    ResponseCode = StatusCodeOf(StatusLine);
    auto length = ParseDecimal(Trim(Headers.Value("Content-Length")));
    ContentLength = length ? *length : -1;
    HasContentLength = length && *length >= 0;
    TransferEncoding = Headers.Value("Transfer-Encoding");
    Connection = Headers.Value("Connection");
    ProxyConnection = Headers.Value("Proxy-Connection");
    Location = Headers.Value("Location");
}

bool TNetHTTPResponse::AsksToClose() const {
    return EqualsIgnoreCase(Trim(Connection), "CLOSE") ||
           EqualsIgnoreCase(Trim(ProxyConnection), "CLOSE");
}

}  // namespace tovalin::net
