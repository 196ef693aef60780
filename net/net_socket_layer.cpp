#include "net/net_socket_layer.h"

#include <mutex>

namespace tovalin::net {
namespace {
std::mutex gLock;
int gUsers = 0;
int gStarts = 0;
}  // namespace

// POSIX sockets need no start-up of their own; sends use MSG_NOSIGNAL so a peer that has gone
// never raises SIGPIPE, and the process's signal setup is left alone.
void TNetSocketLayer::Acquire() {
    std::lock_guard lock(gLock);
    if (gUsers++ == 0)
        ++gStarts;
}

void TNetSocketLayer::Release() {
    std::lock_guard lock(gLock);
    if (gUsers > 0)
        --gUsers;
}

int TNetSocketLayer::Users() {
    std::lock_guard lock(gLock);
    return gUsers;
}

int TNetSocketLayer::Starts() {
    std::lock_guard lock(gLock);
    return gStarts;
}

}  // namespace tovalin::net
