#include "tests/fuzz/fake_connect.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace tovalin::fuzz {
namespace {

// Room for the largest scripted stream a fuzz run feeds (its -max_len is far below this), so
// the whole stream fits into the pair before the client reads.
constexpr int kPeerSendBuffer = 8 << 20;

std::vector<std::string_view> g_streams;
std::size_t g_next = 0;
std::vector<int> g_peers;

}  // namespace

void ServeConnections(std::vector<std::string_view> streams) {
    g_streams = std::move(streams);
    g_next = 0;
}

void CloseServedConnections() {
    for (int fd : g_peers)
        ::close(fd);
    g_peers.clear();
}

int ConnectCount() {
    return static_cast<int>(g_next);
}

}  // namespace tovalin::fuzz

using namespace tovalin::fuzz;

extern "C" int __real_connect(int fd, const struct sockaddr* addr, socklen_t len);

extern "C" int __wrap_connect(int fd, const struct sockaddr* /*addr*/, socklen_t /*len*/) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return -1;
    const int size = kPeerSendBuffer;
    if (::setsockopt(pair[1], SOL_SOCKET, SO_SNDBUFFORCE, &size, sizeof size) != 0)
        ::setsockopt(pair[1], SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    std::string_view stream = g_next < g_streams.size() ? g_streams[g_next] : std::string_view{};
    ++g_next;
    // Never block here: a stream that does not fit is cut short, which is one more way a
    // server may behave.
    ::fcntl(pair[1], F_SETFL, O_NONBLOCK);
    while (!stream.empty()) {
        ssize_t n = ::send(pair[1], stream.data(), stream.size(), MSG_NOSIGNAL);
        if (n <= 0)
            break;
        stream.remove_prefix(std::size_t(n));
    }
    ::shutdown(pair[1], SHUT_WR);
    g_peers.push_back(pair[1]);
    const int saved = errno;
    if (::dup2(pair[0], fd) < 0) {
        ::close(pair[0]);
        return -1;
    }
    ::close(pair[0]);
    errno = saved;
    return 0;
}
