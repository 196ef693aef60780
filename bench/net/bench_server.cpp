// A small loopback HTTP server for the client benchmark: a 1 MiB body by length (/len), chunked
// (/chunked) or until close (/close), a short kept-alive reply (/small), and an empty page that
// sets 3,000 distinct cookies in one response (/cookies). One thread per
// connection; the replies are prepared once so the server costs little beside the clients.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

constexpr std::size_t kBodySize = 1 << 20;
constexpr std::size_t kChunkSize = 32 * 1024;
constexpr int kIdleLimitMs = 60'000;  // the server ends itself when left idle this long

std::string Body() {
    std::string b(kBodySize, '\0');
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<char>('a' + i % 26);
    return b;
}

const std::string kBody = Body();
const std::string kLen =
    "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kBodySize) + "\r\n\r\n" + kBody;
const std::string kClose = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + kBody;
const std::string kSmall = "HTTP/1.1 200 OK\r\nContent-Length: 13\r\n\r\nhello, world\n";
constexpr int kCookies = 3000;
const std::string kCookiePage = [] {
    std::string r = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < kCookies; ++i)
        r += "Set-Cookie: name" + std::to_string(i) + "=value" + std::to_string(i) + "; path=/\r\n";
    return r + "Content-Length: 0\r\n\r\n";
}();
const std::string kChunked = [] {
    std::string r = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    char size[32];
    for (std::size_t at = 0; at < kBodySize; at += kChunkSize) {
        std::snprintf(size, sizeof size, "%zx\r\n", kChunkSize);
        r += size;
        r.append(kBody, at, kChunkSize);
        r += "\r\n";
    }
    return r + "0\r\n\r\n";
}();

bool SendAll(int fd, const std::string& s) {
    std::size_t at = 0;
    while (at < s.size()) {
        ssize_t n = ::send(fd, s.data() + at, s.size() - at, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        at += static_cast<std::size_t>(n);
    }
    return true;
}

void Serve(int fd) {
    std::string in;
    char buf[8192];
    for (;;) {
        auto end = in.find("\r\n\r\n");
        if (end == std::string::npos) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, kIdleLimitMs) <= 0)
                break;
            ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            in.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        std::string head = in.substr(0, end);
        in.erase(0, end + 4);
        std::string target = head.substr(4, head.find(' ', 4) - 4);
        if (target == "/len") {
            if (!SendAll(fd, kLen))
                break;
        } else if (target == "/chunked") {
            if (!SendAll(fd, kChunked))
                break;
        } else if (target == "/cookies") {
            if (!SendAll(fd, kCookiePage))
                break;
        } else if (target == "/close") {
            SendAll(fd, kClose);
            break;
        } else if (!SendAll(fd, kSmall)) {
            break;
        }
    }
    ::close(fd);
}

}  // namespace

int main(int argc, char** argv) {
    int port = argc > 1 ? std::atoi(argv[1]) : 0;
    int ls = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(ls, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    socklen_t len = sizeof a;
    if (::bind(ls, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(ls, 64) != 0 ||
        ::getsockname(ls, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        std::perror("bench-server");
        return 1;
    }
    std::printf("%d\n", ntohs(a.sin_port));
    std::fflush(stdout);
    for (;;) {
        pollfd p{ls, POLLIN, 0};
        if (::poll(&p, 1, kIdleLimitMs) <= 0)
            return 0;
        int fd = ::accept(ls, nullptr, nullptr);
        if (fd >= 0)
            std::thread(Serve, fd).detach();
    }
}
