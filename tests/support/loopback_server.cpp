#include "tests/support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace tovalin::test {
namespace {

// Waits are cut into slices so a stopping server is noticed quickly.
constexpr int kSliceMs = 20;
constexpr std::size_t kMaxHeadBytes = 1 << 20;  // a runaway client cannot grow a head forever
// A TLS session reads and writes whole records on a blocking socket; this bounds each such wait
// (and the handshake) so a silent client cannot hold a server thread.
constexpr int kTlsIoWaitSeconds = 5;

// Polls at least once, so a zero wait still reports bytes or a close that are already there.
bool WaitReadable(int fd, std::chrono::milliseconds wait, const std::atomic<bool>& stopping) {
    auto deadline = std::chrono::steady_clock::now() + wait;
    bool first = true;
    while (!stopping.load()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 && !first) {
            return false;
        }
        first = false;
        pollfd p{fd, POLLIN, 0};
        int r = ::poll(&p, 1, static_cast<int>(std::clamp<long long>(left.count(), 0, kSliceMs)));
        if (r > 0) {
            return true;
        }
        if (r < 0 && errno != EINTR) {
            return false;
        }
    }
    return false;
}

const char* ReasonFor(int status) {
    switch (status) {
        case 100:
            return "Continue";
        case 200:
            return "OK";
        case 204:
            return "No Content";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 304:
            return "Not Modified";
        case 401:
            return "Unauthorized";
        case 404:
            return "Not Found";
        case 500:
            return "Internal Server Error";
        default:
            return "Status";
    }
}

}  // namespace

ServerConnection::ServerConnection(int fd, LoopbackServer& server) : fd_(fd), server_(server) {}

ServerConnection::~ServerConnection() {
    Close();
}

long ServerConnection::ReceiveSome(char* buffer, std::size_t size) {
    if (ssl_ == nullptr)
        return ::recv(fd_, buffer, size, 0);
    std::size_t n = 0;
    if (SSL_read_ex(ssl_, buffer, size, &n) == 1)
        return static_cast<long>(n);
    ERR_clear_error();
    return 0;
}

bool ServerConnection::Pending() const {
    return ssl_ != nullptr && SSL_pending(ssl_) > 0;
}

void ServerConnection::DropTls() {
    if (ssl_ != nullptr) {
        SSL_free(ssl_);
        ssl_ = nullptr;
        ERR_clear_error();
    }
}

bool ServerConnection::Stopping() const {
    return server_.Stopping();
}

std::string ServerConnection::ReadRequestHead(std::chrono::milliseconds wait) {
    auto deadline = std::chrono::steady_clock::now() + wait;
    while (fd_ >= 0) {
        auto end = pending_.find("\r\n\r\n");
        if (end != std::string::npos) {
            std::string head = pending_.substr(0, end + 4);
            pending_.erase(0, end + 4);
            server_.Record(head);
            return head;
        }
        if (pending_.size() > kMaxHeadBytes)
            return "";
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (!Pending() && !WaitReadable(fd_, left, server_.stopping_))
            return "";
        char buf[4096];
        long n = ReceiveSome(buf, sizeof buf);
        if (n <= 0)
            return "";
        pending_.append(buf, static_cast<std::size_t>(n));
    }
    return "";
}

bool ServerConnection::WaitForPeerClose(std::chrono::milliseconds wait) {
    auto deadline = std::chrono::steady_clock::now() + wait;
    while (fd_ >= 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (!Pending() && !WaitReadable(fd_, left, server_.stopping_))
            return false;
        char buf[4096];
        long n = ReceiveSome(buf, sizeof buf);
        if (n <= 0)
            return true;
        if (pending_.size() < kMaxHeadBytes)
            pending_.append(buf, static_cast<std::size_t>(n));
    }
    return true;
}

bool ServerConnection::Send(std::string_view bytes) {
    while (fd_ >= 0 && !bytes.empty()) {
        if (ssl_ != nullptr) {
            std::size_t n = 0;
            if (SSL_write_ex(ssl_, bytes.data(), bytes.size(), &n) != 1) {
                ERR_clear_error();
                return false;
            }
            bytes.remove_prefix(n);
            continue;
        }
        ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return bytes.empty();
}

void ServerConnection::SendInPieces(std::string_view bytes, std::size_t piece,
                                    std::chrono::milliseconds pause) {
    if (piece == 0)
        piece = 1;
    bool first = true;
    while (!bytes.empty() && !Stopping()) {
        if (!first)
            Pause(pause);
        first = false;
        std::size_t n = std::min(piece, bytes.size());
        Send(bytes.substr(0, n));
        bytes.remove_prefix(n);
    }
}

void ServerConnection::Pause(std::chrono::milliseconds d) {
    auto deadline = std::chrono::steady_clock::now() + d;
    while (!Stopping() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::min<std::chrono::milliseconds>(
            std::chrono::milliseconds(kSliceMs),
            std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now()) +
                1ms));
    }
}

void ServerConnection::Close() {
    if (ssl_ != nullptr && fd_ >= 0)
        SSL_shutdown(ssl_);
    CloseWithoutAlert();
}

void ServerConnection::CloseWithoutAlert() {
    DropTls();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void ServerConnection::Reset() {
    DropTls();
    if (fd_ >= 0) {
        linger l{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        Close();
    }
}

LoopbackServer::LoopbackServer(Handler handler, std::chrono::milliseconds idleLimit,
                               std::shared_ptr<ssl_ctx_st> tls)
    : handler_(std::move(handler)), idleLimit_(idleLimit), tls_(std::move(tls)) {
    // A TLS session writes through the plain socket calls, which raise SIGPIPE when the client
    // has gone; the test process must see a failed write instead.
    if (tls_)
        ::signal(SIGPIPE, SIG_IGN);
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listenFd_ < 0)
        throw std::runtime_error("loopback server: socket failed");
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd_, 64) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(listenFd_);
        throw std::runtime_error("loopback server: bind/listen failed");
    }
    port_ = ntohs(addr.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
    Stop();
}

void LoopbackServer::Stop() {
    stopping_.store(true);
    if (acceptor_.joinable())
        acceptor_.join();
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(mutex_);
        workers.swap(workers_);
    }
    for (auto& w : workers)
        w.join();
}

void LoopbackServer::AcceptLoop() {
    auto lastActivity = std::chrono::steady_clock::now();
    while (!stopping_.load()) {
        if (std::chrono::steady_clock::now() - lastActivity > idleLimit_)
            break;
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, kSliceMs) <= 0)
            continue;
        int fd = ::accept(listenFd_, nullptr, nullptr);
        if (fd < 0)
            continue;
        lastActivity = std::chrono::steady_clock::now();
        connections_.fetch_add(1);
        std::lock_guard lock(mutex_);
        workers_.emplace_back([this, fd] {
            ServerConnection conn(fd, *this);
            if (tls_ && !conn.StartTls(tls_.get())) {
                failedHandshakes_.fetch_add(1);
                return;
            }
            try {
                handler_(conn);
            } catch (...) {
                // a handler failure shows up in the test as the client's failure
            }
        });
    }
    ::close(listenFd_);
    listenFd_ = -1;
}

void LoopbackServer::Record(std::string head) {
    std::lock_guard lock(mutex_);
    requests_.push_back(std::move(head));
}

std::vector<std::string> LoopbackServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::size_t LoopbackServer::RequestCount() const {
    std::lock_guard lock(mutex_);
    return requests_.size();
}

bool LoopbackServer::WaitForRequests(std::size_t n, std::chrono::milliseconds wait) const {
    auto deadline = std::chrono::steady_clock::now() + wait;
    while (RequestCount() < n) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs / 4));
    }
    return true;
}

bool ServerConnection::StartTls(ssl_ctx_st* ctx) {
    timeval wait{kTlsIoWaitSeconds, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    ssl_ = SSL_new(ctx);
    if (ssl_ == nullptr || SSL_set_fd(ssl_, fd_) != 1 || SSL_accept(ssl_) != 1) {
        CloseWithoutAlert();
        return false;
    }
    return true;
}

std::string LoopbackServer::Url(std::string_view path) const {
    return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) +
           std::string(path);
}

std::string HttpResponse(int status, const HeaderFields& headers, std::string_view body) {
    std::string out = "HTTP/1.1 " + std::to_string(status) + " " + ReasonFor(status) + "\r\n";
    for (const auto& [name, value] : headers)
        out += name + ": " + value + "\r\n";
    out += "\r\n";
    out += body;
    return out;
}

std::string HttpResponseWithLength(int status, const HeaderFields& headers, std::string_view body) {
    HeaderFields all = headers;
    all.emplace_back("Content-Length", std::to_string(body.size()));
    return HttpResponse(status, all, body);
}

std::string RequestTarget(std::string_view head) {
    auto a = head.find(' ');
    if (a == std::string_view::npos)
        return "";
    auto b = head.find(' ', a + 1);
    if (b == std::string_view::npos)
        return "";
    return std::string(head.substr(a + 1, b - a - 1));
}

LoopbackServer::Handler SiteHandler(std::map<std::string, std::string> pages) {
    auto shared = std::make_shared<const std::map<std::string, std::string>>(std::move(pages));
    return [shared](ServerConnection& conn) {
        for (;;) {
            std::string head = conn.ReadRequestHead();
            if (head.empty())
                return;
            auto it = shared->find(RequestTarget(head));
            if (it != shared->end()) {
                conn.Send(it->second);
            } else {
                conn.Send(HttpResponseWithLength(404, {}, "not found"));
            }
        }
    };
}

}  // namespace tovalin::test
