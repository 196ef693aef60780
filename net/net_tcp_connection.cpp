#include "net/net_tcp_connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "net/net_exceptions.h"
#include "net/net_socket_errors.h"
#include "net/net_socket_layer.h"
#include "net/net_text.h"
#include "net/net_tls_handler.h"

namespace tovalin::net {
namespace {

// An announced size is only a promise; memory is reserved for at most this much up front and
// the rest grows as bytes really arrive.
constexpr std::size_t kMaxUpfrontReservation = 4u << 20;

[[noreturn]] void ThrowClosed() {
    throw ENetConnClosedGracefully("Connection Closed Gracefully.");
}

// A poll that restarts after a signal with the time that is left; -1 waits without limit.
int PollReadable(int fd, int waitMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        int r = ::poll(&p, 1, waitMs);
        if (r >= 0 || errno != EINTR) {
            return r;
        }
        if (waitMs >= 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            waitMs = static_cast<int>(std::max<long long>(0, left.count()));
        }
    }
}

bool ResolveHost(const std::string& host, in_addr& out) {
    if (EqualsIgnoreCase(host, "LOCALHOST")) {
        return ::inet_pton(AF_INET, "127.0.0.1", &out) == 1;
    }
    if (IsIPv4Address(host)) {
        // Parts may carry leading zeros ("010"), which inet_pton refuses: build it by hand.
        std::uint32_t value = 0;
        std::string_view rest = host;
        for (int i = 0; i < 4; ++i) {
            auto dot = rest.find('.');
            value = (value << 8) | static_cast<std::uint32_t>(*ParseDecimal(rest.substr(0, dot)));
            rest.remove_prefix(dot == std::string_view::npos ? rest.size() : dot + 1);
        }
        out.s_addr = htonl(value);
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0 || result == nullptr) {
        return false;
    }
    out = reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr;
    ::freeaddrinfo(result);
    return true;
}

// How often a connect under way looks whether it was aborted. An abort also shuts the socket
// down, which ends the wait at once; the look covers an abort that came just before the connect
// began, when there was nothing to shut down yet.
constexpr int kConnectAbortLookMs = 100;

// Connects without blocking and waits for the outcome (an errno value, 0 when connected), or
// until `aborted` says the connection is no longer wanted (ECONNABORTED). The wait is otherwise
// the platform's own connect limit. The socket is blocking again afterwards.
template <typename Aborted>
int ConnectAbortably(int fd, const sockaddr_in& remote, Aborted aborted) {
    if (aborted()) {
        return ECONNABORTED;  // an abort during the host-name lookup: nothing goes out
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
        return errno;
    }
    int err = 0;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) != 0) {
        err = errno;
    }
    if (err == EINPROGRESS || err == EINTR) {
        for (;;) {
            if (aborted()) {
                return ECONNABORTED;
            }
            pollfd p{fd, POLLOUT, 0};
            const int ready = ::poll(&p, 1, kConnectAbortLookMs);
            if (ready < 0 && errno != EINTR) {
                return errno;
            }
            if (ready > 0) {
                socklen_t len = sizeof err;
                if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) {
                    err = errno;
                }
                break;
            }
        }
    }
    if (err == 0 && aborted()) {
        return ECONNABORTED;
    }
    if (err == 0 && ::fcntl(fd, F_SETFL, flags) < 0) {
        return errno;
    }
    return err;
}

}  // namespace

TNetTCPConnection::TNetTCPConnection() {
    TNetSocketLayer::Acquire();
}

TNetTCPConnection::~TNetTCPConnection() {
    holder_.reset();
    TNetSocketLayer::Release();
}

void TNetTCPConnection::Abort() {
    const std::lock_guard<std::mutex> lock(gate_.Lock);
    gate_.Aborted = true;
    if (gate_.Fd >= 0) {
        ::shutdown(gate_.Fd, SHUT_RDWR);
    }
}

void TNetTCPConnection::CloseConnection() {
    holder_.reset();
    everOpened_ = false;
    closed_ = true;
    writing_ = false;
    out_.clear();
}

bool TNetTCPConnection::IsOpen() {
    if (!holder_) {
        return false;
    }
    if (closed_) {
        holder_->Close();
    }
    return holder_->Connected();
}

void TNetTCPConnection::NoteClosed() {
    closed_ = true;
    if (holder_) {
        holder_->Close();
    }
}

void TNetTCPConnection::ProbeClose() {
    if (IsOpen()) {
        Fill(kProbeWaitMs, false, false);
    }
}

bool TNetTCPConnection::WaitReady(TNetIOResult::Kind want, int waitMs) {
    if (want == TNetIOResult::Kind::WantRead) {
        const int ready = PollReadable(holder_->Handle(), waitMs);
        if (ready < 0) {
            throw MakeSocketError(SocketCodeFromErrno(errno));
        }
        return ready > 0;
    }
    pollfd p{holder_->Handle(), POLLOUT, 0};
    int ready;
    while ((ready = ::poll(&p, 1, waitMs)) < 0 && errno == EINTR) {
    }
    if (ready < 0) {
        throw MakeSocketError(SocketCodeFromErrno(errno));
    }
    return ready > 0;
}

bool TNetTCPConnection::Fill(int waitMs, bool failOnClose, bool failOnTimeout) {
    if (waitMs == kDefaultWait) {
        waitMs = ReadTimeout == 0 ? -1 : ReadTimeout;
    }
    const std::size_t block = static_cast<std::size_t>(std::max(1, RecvBufferSize));
    if (inHead_ > 0 && inHead_ == in_.size()) {
        in_.clear();
        inHead_ = 0;
    }
    const std::size_t old = in_.size();
    in_.resize(old + block);
    // Bytes that are already there are taken without a readiness wait; the wait (which blocks
    // in poll, never spinning) comes only when nothing is ready. Over TLS a ready socket may
    // still hold only part of a record, so the wait repeats until a whole one is in.
    TNetIOResult r;
    for (;;) {
        try {
            r = holder_->Receive(in_.data() + old, block);
        } catch (...) {
            in_.resize(old);
            throw;
        }
        if (r.kind != TNetIOResult::Kind::WantRead && r.kind != TNetIOResult::Kind::WantWrite) {
            break;
        }
        bool ready;
        try {
            ready = WaitReady(r.kind, waitMs);
        } catch (...) {
            in_.resize(old);
            throw;
        }
        if (!ready) {
            in_.resize(old);
            if (failOnTimeout) {
                throw ENetReadTimeout("Read Timeout");
            }
            return false;
        }
    }
    in_.resize(old + (r.kind == TNetIOResult::Kind::Data ? r.bytes : 0));
    if (r.kind == TNetIOResult::Kind::Data) {
        received_ += r.bytes;
        return true;
    }
    if (r.kind == TNetIOResult::Kind::Failed) {
        const int code = r.code;
        if (!IsConnectionLostCode(code)) {
            throw MakeSocketError(code);
        }
        holder_->Close();
        // A reset ends a TLS stream without its close alert.
        closeUnannounced_ = holder_->Secure();
        if (Buffered() == 0) {
            closed_ = true;
            throw MakeSocketError(code);
        }
    } else {
        closeUnannounced_ = !r.announced;
    }
    NoteClosed();
    if (Buffered() == 0 && failOnClose) {
        ThrowClosed();
    }
    return false;
}

void TNetTCPConnection::Consume(std::size_t n) {
    inHead_ += n;
    searched_ = 0;
    if (inHead_ == in_.size()) {
        in_.clear();
        inHead_ = 0;
    } else if (inHead_ > (1u << 16) && inHead_ > in_.size() / 2) {
        in_.erase(0, inHead_);
        inHead_ = 0;
    }
}

void TNetTCPConnection::MoveToSink(std::size_t n, std::string& sink) {
    sink.append(in_, inHead_, n);
    Consume(n);
}

void TNetTCPConnection::CheckReadable() {
    if (closed_) {
        ThrowClosed();
    }
    if (!everOpened_) {
        throw ENetNotConnected("Not Connected");
    }
    if (!holder_ || !holder_->Connected()) {
        ThrowClosed();
    }
}

std::string TNetTCPConnection::ReadLine() {
    const std::size_t maxLine = static_cast<std::size_t>(std::max(0, MaxLineLength));
    for (;;) {
        const char* start = in_.data() + inHead_;
        const std::size_t size = Buffered();
        const void* lf =
            searched_ < size ? std::memchr(start + searched_, '\n', size - searched_) : nullptr;
        if (lf != nullptr) {
            std::size_t len = static_cast<const char*>(lf) - start;
            if (len > maxLine) {
                throw ENetReadLnMaxLineLengthExceeded("Max line length exceeded.");
            }
            std::string line(start, len);
            Consume(len + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            return line;
        }
        searched_ = size;
        if (size > maxLine) {
            throw ENetReadLnMaxLineLengthExceeded("Max line length exceeded.");
        }
        CheckReadable();
        // The server may close mid-line: the partial line stays buffered and the caller sees an
        // empty line now and the close at the next read.
        if (!Fill(kDefaultWait, true, true)) {
            return "";
        }
    }
}

void TNetTCPConnection::ReadCounted(std::uint64_t n, std::string& sink) {
    // Reserve for the announced count (up to the cap) but never below doubling: chunked
    // bodies make many counted reads into one sink, and an exact reservation each time would
    // copy the whole body again for every chunk.
    const std::size_t wanted =
        sink.size() + static_cast<std::size_t>(std::min<std::uint64_t>(n, kMaxUpfrontReservation));
    if (wanted > sink.capacity()) {
        sink.reserve(std::max(wanted, sink.capacity() * 2));
    }
    std::uint64_t take = std::min<std::uint64_t>(n, Buffered());
    MoveToSink(static_cast<std::size_t>(take), sink);
    std::uint64_t remaining = n - take;
    const std::size_t blockSize = static_cast<std::size_t>(std::max(1, RecvBufferSize));
    while (remaining > 0 && IsOpen()) {
        const std::size_t block =
            static_cast<std::size_t>(std::min<std::uint64_t>(remaining, blockSize));
        while (Buffered() < block) {
            Fill(kDefaultWait, true, true);
            if (closed_) {
                MoveToSink(static_cast<std::size_t>(std::min<std::uint64_t>(remaining, Buffered())),
                           sink);
                ThrowClosed();
            }
        }
        MoveToSink(block, sink);
        remaining -= block;
    }
}

void TNetTCPConnection::ReadUntilClose(std::string& sink, std::size_t maxBytes) {
    auto drain = [&] {
        if (Buffered() > maxBytes - std::min(maxBytes, sink.size())) {
            throw ENetException("Response body too large.");
        }
        MoveToSink(Buffered(), sink);
    };
    drain();
    while (IsOpen()) {
        Fill(kDefaultWait, false, true);
        drain();
    }
    if (closeUnannounced_) {
        throw ENetTLSError(
            "TLS close alert missing: the server closed without ending the session, so the "
            "body may have been cut short");
    }
}

void TNetTCPConnection::BeginWrite() {
    writing_ = true;
    out_.clear();
}

void TNetTCPConnection::WriteLine(std::string_view text) {
    CheckSendable();
    if (writing_) {
        out_.append(text);
        out_.append("\r\n");
        return;
    }
    std::string line(text);
    line.append("\r\n");
    SendAll(line);
}

void TNetTCPConnection::EndWrite() {
    std::string bytes;
    bytes.swap(out_);
    writing_ = false;
    SendAll(bytes);
}

void TNetTCPConnection::CheckSendable() {
    if (closed_ || (everOpened_ && (!holder_ || !holder_->Connected()))) {
        if (holder_) {
            holder_->Close();
        }
        ThrowClosed();
    }
    if (!everOpened_) {
        throw ENetNotConnected("Not Connected");
    }
}

void TNetTCPConnection::SendAll(std::string_view bytes) {
    CheckSendable();
    while (!bytes.empty()) {
        const TNetIOResult r = holder_->Send(bytes.data(), bytes.size());
        switch (r.kind) {
            case TNetIOResult::Kind::Data:
                bytes.remove_prefix(r.bytes);
                break;
            case TNetIOResult::Kind::WantRead:
            case TNetIOResult::Kind::WantWrite:
                WaitReady(r.kind, -1);
                break;
            case TNetIOResult::Kind::Closed:
                NoteClosed();
                ThrowClosed();
            case TNetIOResult::Kind::Failed:
                if (IsConnectionLostCode(r.code)) {
                    holder_->Close();
                }
                throw MakeSocketError(r.code);
        }
    }
}

void TNetTCPConnection::OpenSocket(const std::string& host, int port, TNetTLSHandler* tls) {
    if (holder_ && holder_->Connected()) {
        throw ENetAlreadyConnected("Already connected.");
    }
    holder_.reset();
    everOpened_ = true;
    in_.clear();
    inHead_ = 0;
    searched_ = 0;
    closed_ = false;
    closeUnannounced_ = false;
    received_ = 0;
    {
        // An aborted connection opens nothing more (checked again once connected, for an
        // abort that comes while connecting).
        const std::lock_guard<std::mutex> lock(gate_.Lock);
        if (gate_.Aborted) {
            throw ENetTCPConnectionError("Connection aborted.");
        }
    }

    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        throw ENetInvalidSocket("Cannot allocate socket.");
    }
    {
        // From here an abort shuts the socket down, which also ends a connect under way.
        const std::lock_guard<std::mutex> lock(gate_.Lock);
        gate_.Fd = fd;
    }
    const auto aborted = [this] {
        const std::lock_guard<std::mutex> lock(gate_.Lock);
        return gate_.Aborted;
    };
    auto fail = [this, fd](int code) {
        CloseGated(fd, &gate_);
        if (code == kCodeAddressInUse) {
            throw ENetCouldNotBindSocket(
                "Could not bind socket. Address and port are already in use.");
        }
        throw MakeSocketError(code);
    };
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        fail(SocketCodeFromErrno(errno));
    }
    // A port outside the 16-bit range would be cut to another port silently; refuse it instead.
    if (port < 0 || port > 65535) {
        fail(kCodeAddressNotAvailable);
    }
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<std::uint16_t>(port));
    // A host-name lookup cannot be cut short (the C library offers no way), but nothing
    // connects after an abort that came during it.
    if (!ResolveHost(host, remote.sin_addr)) {
        CloseGated(fd, &gate_);
        throw MakeSocketError(kCodeHostNotFound);
    }
    if (const int err = ConnectAbortably(fd, remote, aborted); err != 0) {
        CloseGated(fd, &gate_);
        if (aborted()) {
            throw ENetTCPConnectionError("Connection aborted.");
        }
        throw MakeSocketError(SocketCodeFromErrno(err));
    }
    if (tls == nullptr) {
        holder_ = std::make_unique<TNetIOHandlerSocket>(fd);
        holder_->Gate = &gate_;
        return;
    }
    // The handshake waits for the server as reads do; an abort during it shuts the socket down.
    holder_ = tls->Start(fd, host, ReadTimeout == 0 ? -1 : ReadTimeout, &gate_);
}

void TNetTCPClient::OpenConnection(int /*timeout*/, TNetTLSHandler* tls) {
    OpenSocket(Host, Port, tls);
}

}  // namespace tovalin::net
