#include "tests/tools/raw_http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace tovalin::test {

namespace {

// No response of the sample site takes anywhere near this long on loopback.
constexpr int kReadWaitMillis = 5000;

}  // namespace

std::string RawHttpResponse::Header(std::string_view name) const {
    for (const auto& [n, v] : headers) {
        if (n.size() == name.size() && ::strncasecmp(n.data(), name.data(), n.size()) == 0) {
            return v;
        }
    }
    return {};
}

RawHttpConnection::RawHttpConnection(int port) : port_(port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        throw std::runtime_error("cannot connect to port " + std::to_string(port));
    }
}

RawHttpConnection::~RawHttpConnection() {
    ::close(fd_);
}

std::string RawHttpConnection::GetRequest(const std::string& target, int port,
                                          const std::string& extraHeaders) {
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
           "\r\nAccept: text/html, */*\r\n" + extraHeaders + "\r\n";
}

void RawHttpConnection::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) {
            throw std::runtime_error("send failed");
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
}

bool RawHttpConnection::Fill() {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, kReadWaitMillis) <= 0) {
        throw std::runtime_error("no answer within the wait");
    }
    char block[65536];
    const ssize_t n = ::recv(fd_, block, sizeof block, 0);
    if (n <= 0) {
        return false;
    }
    buffer_.append(block, static_cast<size_t>(n));
    return true;
}

std::string RawHttpConnection::ReadLine() {
    size_t end;
    while ((end = buffer_.find("\r\n")) == std::string::npos) {
        if (!Fill()) {
            throw std::runtime_error("closed inside a line");
        }
    }
    std::string line = buffer_.substr(0, end);
    buffer_.erase(0, end + 2);
    return line;
}

std::string RawHttpConnection::ReadExactly(size_t n) {
    while (buffer_.size() < n) {
        if (!Fill()) {
            throw std::runtime_error("closed inside a body");
        }
    }
    std::string bytes = buffer_.substr(0, n);
    buffer_.erase(0, n);
    return bytes;
}

RawHttpResponse RawHttpConnection::ReadResponse(bool headOnly) {
    RawHttpResponse response;
    const std::string statusLine = ReadLine();
    if (statusLine.rfind("HTTP/1.1 ", 0) != 0 || statusLine.size() < 12) {
        throw std::runtime_error("bad status line: " + statusLine);
    }
    response.status = std::stoi(statusLine.substr(9, 3));
    for (std::string line = ReadLine(); !line.empty(); line = ReadLine()) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos) {
            throw std::runtime_error("bad header line: " + line);
        }
        size_t value = colon + 1;
        while (value < line.size() && line[value] == ' ') {
            ++value;
        }
        response.headers.emplace_back(line.substr(0, colon), line.substr(value));
    }
    if (headOnly) {
        return response;
    }
    response.chunked = response.Header("Transfer-Encoding") == "chunked";
    if (response.chunked) {
        for (;;) {
            const size_t size = std::stoul(ReadLine(), nullptr, 16);
            if (size == 0) {
                break;
            }
            response.body += ReadExactly(size);
            if (!ReadLine().empty()) {
                throw std::runtime_error("chunk not followed by its line end");
            }
        }
        if (!ReadLine().empty()) {
            throw std::runtime_error("no empty line after the last chunk");
        }
    } else {
        response.body = ReadExactly(std::stoul(response.Header("Content-Length")));
    }
    return response;
}

RawHttpResponse RawHttpConnection::Get(const std::string& target, const std::string& extra) {
    Send(GetRequest(target, port_, extra));
    return ReadResponse();
}

bool RawHttpConnection::PeerCloses(std::chrono::milliseconds wait) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0) {
        return false;
    }
    char c;
    return ::recv(fd_, &c, 1, MSG_PEEK) <= 0;
}

}  // namespace tovalin::test
