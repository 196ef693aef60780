// A response head as received: the status line, the header lines in arrival order, and the few
// values the client acts on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tovalin::net {

// Header lines exactly as received (line ends removed), continuation lines included.
class TNetHeaderList {
  public:
    void Add(std::string line) { lines_.push_back(std::move(line)); }
    void Clear() { lines_.clear(); }
    const std::vector<std::string>& Lines() const { return lines_; }

    // The value of the first line named `name` (ignoring letter case): the text after its ":",
    // trimmed, with each continuation line joined on by one space.
    std::string Value(std::string_view name) const;
    // The values of every line of that name, in order.
    std::vector<std::string> Values(std::string_view name) const;

  private:
    std::string ValueAt(std::size_t index) const;
    // The index of the first line from `from` on that is named `name`, or npos.
    std::size_t NextNamed(std::string_view name, std::size_t from) const;
    std::vector<std::string> lines_;
};

class TNetHTTPResponse {
  public:
    std::string StatusLine;
    TNetHeaderList Headers;
    int ResponseCode = -1;
    std::int64_t ContentLength = -1;  // -1 when absent or not a number
    bool HasContentLength = false;    // a number of 0 or more was given
    std::string TransferEncoding;
    std::string Connection;
    std::string ProxyConnection;
    std::string Location;

    // Fills the values above from StatusLine and Headers.
    void ReadValues();
    // Whether "Connection" or "Proxy-Connection" asks for the connection to be closed.
    bool AsksToClose() const;
};

// The status code of a status line: the text after its first space, trimmed, up to the next
// space, as a decimal number; -1 when that is not one.
int StatusCodeOf(std::string_view statusLine);

// The size on a chunk size line: hexadecimal digits up to the first blank or ";" (a chunk
// extension). 0 when the text is no hexadecimal number; ENetException when the number is too
// large to be a size.
std::int64_t ChunkSizeOf(std::string_view line);

}  // namespace tovalin::net
