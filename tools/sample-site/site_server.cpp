#include "tools/sample-site/site_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

#include "tools/sample-site/http_exchange.h"
#include "tools/sample-site/sample_site.h"
#include "tools/sample-site/site_tls.h"

namespace {

// A request head larger than this is refused: no client of ours sends one, and it bounds the
// memory a misbehaving peer can make a connection hold.
constexpr size_t kMaxRequestHead = 64 * 1024;
// Request bodies are read and thrown away up to this size; a GET has none.
constexpr long kMaxRequestBody = 1024 * 1024;
// A connection that sends nothing for this long is closed, so forgotten clients do not pin
// threads. Readers notice the close on their next request and reconnect.
constexpr int kConnectionIdleSeconds = 120;
// More connections than this at once are refused by closing them at once.
constexpr int kMaxConnections = 256;
// How often the accept loop wakes to look at the idle clock.
constexpr int kAcceptPollMillis = 250;

using Clock = std::chrono::steady_clock;

std::atomic<long long> lastActivity{0};
std::atomic<int> openConnections{0};

long long NowMillis() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
        .count();
}

void Refuse(const SiteStream& stream, int status) {
    SiteResponse response;
    response.status = status;
    response.contentType = "text/plain; charset=utf-8";
    response.body = std::string(ReasonPhrase(status)) + "\n";
    response.close = true;
    stream.SendAll(SerializeResponse(response, false, false));
}

void ServeConnection(int fd, SampleSite& site, const SiteOptions& options, const SiteTls* tls) {
    timeval idle{kConnectionIdleSeconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &idle, sizeof idle);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &idle, sizeof idle);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    SiteStream stream{fd, nullptr};
    if (tls != nullptr && (stream.ssl = tls->Accept(fd)) == nullptr) {
        return;
    }
    // Every way out of the exchange loop ends the TLS session properly.
    struct End {
        SiteStream& stream;
        ~End() { stream.EndTls(); }
    } end{stream};

    std::string buffer;
    for (;;) {
        size_t headEnd;
        while ((headEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
            if (buffer.size() > kMaxRequestHead) {
                Refuse(stream, 431);
                return;
            }
            if (!stream.ReadMore(buffer)) {
                return;
            }
        }
        lastActivity = NowMillis();
        const auto request = ParseRequestHead(std::string_view(buffer).substr(0, headEnd));
        buffer.erase(0, headEnd + 4);
        if (!request) {
            Refuse(stream, 400);
            return;
        }
        const std::string length = request->Header("content-length");
        if (!length.empty()) {
            char* end = nullptr;
            const long bodySize = std::strtol(length.c_str(), &end, 10);
            if (*end != '\0' || bodySize < 0 || bodySize > kMaxRequestBody) {
                Refuse(stream, 413);
                return;
            }
            while (buffer.size() < static_cast<size_t>(bodySize)) {
                if (!stream.ReadMore(buffer)) {
                    return;
                }
            }
            buffer.erase(0, static_cast<size_t>(bodySize));
        }
        SiteResponse response = site.Respond(*request);
        if (!request->WantsKeepAlive()) {
            response.close = true;
        }
        if (!stream.SendAll(
                SerializeResponse(response, options.chunked, request->method == "HEAD"))) {
            return;
        }
        lastActivity = NowMillis();
        // --close-early hangs up without having said so, as a server that drops idle
        // connections does; the reader must notice and connect again.
        if (response.close || options.closeEarly) {
            return;
        }
    }
}

}  // namespace

SiteListener::SiteListener(int port, std::shared_ptr<const SiteTls> tls) : tls_(std::move(tls)) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
    }
    const int one = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd_, 128) != 0) {
        const std::string reason = std::strerror(errno);
        ::close(fd_);
        throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port) + ": " +
                                 reason);
    }
    socklen_t size = sizeof address;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
}

SiteListener::~SiteListener() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::string SiteListener::BaseAddress() const {
    return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

void SiteListener::Serve(SampleSite& site, const SiteOptions& options) {
    lastActivity = NowMillis();
    const long long idleLimit = static_cast<long long>(options.idleExitSeconds) * 1000;
    for (;;) {
        pollfd waiting{fd_, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, kAcceptPollMillis);
        if (NowMillis() - lastActivity.load() > idleLimit) {
            return;
        }
        if (ready <= 0) {
            continue;
        }
        const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            // Out of descriptors, say: wait a little instead of spinning on a ready socket.
            std::this_thread::sleep_for(std::chrono::milliseconds(kAcceptPollMillis / 10));
            continue;
        }
        lastActivity = NowMillis();
        if (openConnections.load() >= kMaxConnections) {
            ::close(client);
            continue;
        }
        ++openConnections;
        std::thread([client, &site, &options, tls = tls_.get()] {
            ServeConnection(client, site, options, tls);
            ::close(client);
            --openConnections;
        }).detach();
    }
}
