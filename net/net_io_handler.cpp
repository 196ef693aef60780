#include "net/net_io_handler.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "net/net_socket_errors.h"

namespace tovalin::net {

void CloseGated(int fd, TNetAbortGate* gate) {
    if (gate != nullptr) {
        const std::lock_guard<std::mutex> lock(gate->Lock);
        if (gate->Fd == fd) {
            gate->Fd = -1;
        }
    }
    ::close(fd);
}

void TNetIOHandler::Close() {
    if (fd_ >= 0) {
        CloseGated(fd_, Gate);
        fd_ = -1;
    }
}

TNetIOResult TNetIOHandlerSocket::Receive(char* buffer, std::size_t size) {
    ssize_t n;
    do {
        n = ::recv(fd_, buffer, size, MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n > 0)
        return {TNetIOResult::Kind::Data, static_cast<std::size_t>(n)};
    if (n == 0)
        return {TNetIOResult::Kind::Closed};
    if (errno == EAGAIN || errno == EWOULDBLOCK)
        return {TNetIOResult::Kind::WantRead};
    return {TNetIOResult::Kind::Failed, 0, SocketCodeFromErrno(errno)};
}

TNetIOResult TNetIOHandlerSocket::Send(const char* bytes, std::size_t size) {
    ssize_t n;
    do {
        n = ::send(fd_, bytes, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n > 0)
        return {TNetIOResult::Kind::Data, static_cast<std::size_t>(n)};
    if (n == 0)
        return {TNetIOResult::Kind::Closed};
    if (errno == EAGAIN || errno == EWOULDBLOCK)
        return {TNetIOResult::Kind::WantWrite};
    return {TNetIOResult::Kind::Failed, 0, SocketCodeFromErrno(errno)};
}

}  // namespace tovalin::net
