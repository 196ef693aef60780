#include "net/net_tls_handler.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>

#include "net/net_exceptions.h"
#include "net/net_socket_errors.h"
#include "net/net_text.h"

namespace tovalin::net {
namespace {

// The socket under OpenSSL. Its own reads and writes (never waiting, never raising SIGPIPE when
// the server has gone) keep the waiting in one place, the connection, and let a close be told
// apart from an error.
struct SocketState {
    int fd = -1;
    int lastErrno = 0;
    bool eof = false;
};

int BioWrite(BIO* bio, const char* data, size_t size, size_t* written) {
    auto* state = static_cast<SocketState*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    ssize_t n;
    do {
        n = ::send(state->fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n > 0) {
        *written = static_cast<size_t>(n);
        return 1;
    }
    state->lastErrno = n < 0 ? errno : EPIPE;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        BIO_set_retry_write(bio);
    return 0;
}

int BioRead(BIO* bio, char* data, size_t size, size_t* received) {
    auto* state = static_cast<SocketState*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    ssize_t n;
    do {
        n = ::recv(state->fd, data, size, MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n > 0) {
        *received = static_cast<size_t>(n);
        return 1;
    }
    if (n == 0) {
        state->eof = true;
        return 0;
    }
    state->lastErrno = errno;
    if (errno == EAGAIN || errno == EWOULDBLOCK)
        BIO_set_retry_read(bio);
    return 0;
}

long BioCtrl(BIO* bio, int cmd, long /*num*/, void* /*ptr*/) {
    if (cmd == BIO_CTRL_FLUSH)
        return 1;
    if (cmd == BIO_CTRL_EOF)
        return static_cast<SocketState*>(BIO_get_data(bio))->eof ? 1 : 0;
    return 0;
}

int BioCreate(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
}

// One method table for the process, made once (thread-safe static initialisation).
BIO_METHOD* SocketMethod() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "tovalin socket");
        if (m != nullptr) {
            BIO_meth_set_write_ex(m, BioWrite);
            BIO_meth_set_read_ex(m, BioRead);
            BIO_meth_set_ctrl(m, BioCtrl);
            BIO_meth_set_create(m, BioCreate);
        }
        return m;
    }();
    return method;
}

// The first OpenSSL error of this thread in words, the queue emptied.
std::string TakeOpenSSLError(unsigned long* first = nullptr) {
    unsigned long code = ERR_get_error();
    if (first != nullptr)
        *first = code;
    std::string text;
    if (code != 0) {
        const char* reason = ERR_reason_error_string(code);
        text = reason != nullptr ? reason : "error " + std::to_string(ERR_GET_REASON(code));
    }
    ERR_clear_error();
    return text;
}

std::string CertificateReason(long result) {
    switch (result) {
        case X509_V_ERR_CERT_HAS_EXPIRED:
            return "certificate expired";
        case X509_V_ERR_CERT_NOT_YET_VALID:
            return "certificate not yet valid";
        case X509_V_ERR_HOSTNAME_MISMATCH:
            return "host name mismatch";
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
            return "IP address mismatch";
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        case X509_V_ERR_CERT_UNTRUSTED:
            return "untrusted chain";
        default:
            return "not valid";
    }
}

// A handshake failure's reason in words, the library's own text after it.
std::string HandshakeReason(unsigned long code, const std::string& text) {
    const int reason = ERR_GET_REASON(code);
    std::string words = "handshake failure";
    if (reason == SSL_R_UNSUPPORTED_PROTOCOL || reason == SSL_R_TLSV1_ALERT_PROTOCOL_VERSION ||
        reason == SSL_R_NO_PROTOCOLS_AVAILABLE || reason == SSL_R_WRONG_SSL_VERSION) {
        words = "protocol version, TLS 1.2 or newer required";
    }
    return text.empty() ? words : words + " (" + text + ")";
}

// Waits until the socket is ready for what OpenSSL asked for; false when the wait passed.
bool WaitFor(int fd, short events, int waitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, waitMs);
        if (r > 0)
            return true;
        if (r == 0)
            return false;
        if (errno != EINTR)
            throw MakeSocketError(SocketCodeFromErrno(errno));
        if (waitMs >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            waitMs = static_cast<int>(std::max<long long>(0, left.count()));
        }
    }
}

// One TLS session over one socket.
class TNetIOHandlerTLS final : public TNetIOHandler {
  public:
    TNetIOHandlerTLS(int fd, SSL* ssl, std::unique_ptr<SocketState> state)
        : TNetIOHandler(fd), ssl_(ssl), state_(std::move(state)) {}
    ~TNetIOHandlerTLS() override {
        Close();
        SSL_free(ssl_);
    }

    void Close() override {
        if (fd_ < 0)
            return;
        // Say goodbye when the session is still sound; the server's answer is not awaited.
        if (!failed_) {
            ERR_clear_error();
            SSL_shutdown(ssl_);
            ERR_clear_error();
        }
        TNetIOHandler::Close();
        state_->fd = -1;
    }

    bool Secure() const override { return true; }
    // A session that failed is closed without its goodbye.
    void MarkFailed() { failed_ = true; }

    TNetIOResult Receive(char* buffer, std::size_t size) override {
        ERR_clear_error();
        state_->lastErrno = 0;
        std::size_t n = 0;
        if (SSL_read_ex(ssl_, buffer, size, &n) == 1)
            return {TNetIOResult::Kind::Data, n};
        return Outcome(SSL_get_error(ssl_, 0));
    }

    TNetIOResult Send(const char* bytes, std::size_t size) override {
        ERR_clear_error();
        state_->lastErrno = 0;
        std::size_t n = 0;
        if (SSL_write_ex(ssl_, bytes, size, &n) == 1)
            return {TNetIOResult::Kind::Data, n};
        return Outcome(SSL_get_error(ssl_, 0));
    }

  private:
    TNetIOResult Outcome(int error) {
        switch (error) {
            case SSL_ERROR_WANT_READ:
                ERR_clear_error();
                return {TNetIOResult::Kind::WantRead};
            case SSL_ERROR_WANT_WRITE:
                ERR_clear_error();
                return {TNetIOResult::Kind::WantWrite};
            case SSL_ERROR_ZERO_RETURN:
                ERR_clear_error();
                return {TNetIOResult::Kind::Closed, 0, 0, true};
            default:
                break;
        }
        failed_ = true;
        const std::string text = TakeOpenSSLError();
        if (state_->eof)
            return {TNetIOResult::Kind::Closed, 0, 0, false};
        if (error == SSL_ERROR_SYSCALL && state_->lastErrno != 0)
            return {TNetIOResult::Kind::Failed, 0, SocketCodeFromErrno(state_->lastErrno)};
        throw ENetTLSError("TLS error: " + (text.empty() ? std::string("protocol failure") : text));
    }

    SSL* ssl_;
    std::unique_ptr<SocketState> state_;
    bool failed_ = false;
};

// The client context, shared by every handler of the process while the trust settings stay the
// same: loading the system's trust store takes tens of milliseconds, which each topic load
// would otherwise pay again. OpenSSL lets sessions of many threads use one finished context.
// Returns a reference the caller owns, or nullptr with the reason in `error`.
SSL_CTX* SharedClientContext(std::string& error) {
    static std::mutex lock;
    static SSL_CTX* shared = nullptr;
    static std::string sharedFor;
    auto setting = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value != nullptr ? value : "") + '\n';
    };
    const std::string trust =
        setting(X509_get_default_cert_file_env()) + setting(X509_get_default_cert_dir_env());
    std::lock_guard guard(lock);
    if (shared == nullptr || sharedFor != trust) {
        ERR_clear_error();
        SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
        if (ctx == nullptr || SocketMethod() == nullptr) {
            SSL_CTX_free(ctx);
            error = "TLS set-up failed: " + TakeOpenSSLError();
            return nullptr;
        }
        SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
        SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
        // A store that cannot be loaded leaves the context trusting nothing: every server is
        // then refused as untrusted, which says what is wrong.
        SSL_CTX_set_default_verify_paths(ctx);
        ERR_clear_error();
        SSL_CTX_free(shared);
        shared = ctx;
        sharedFor = trust;
    }
    SSL_CTX_up_ref(shared);
    return shared;
}

}  // namespace

TNetTLSHandler::TNetTLSHandler() = default;

ssl_ctx_st* TNetTLSHandler::Context() {
    std::call_once(made_, [this] { ctx_ = SharedClientContext(setupError_); });
    if (ctx_ == nullptr)
        throw ENetTLSError(setupError_);
    return ctx_;
}

TNetTLSHandler::~TNetTLSHandler() {
    SSL_CTX_free(ctx_);
}

std::unique_ptr<TNetIOHandler> TNetTLSHandler::Start(int fd, const std::string& host, int waitMs,
                                                     TNetAbortGate* gate) {
    ssl_ctx_st* ctx;
    try {
        ctx = Context();
    } catch (...) {
        CloseGated(fd, gate);
        throw;
    }
    ERR_clear_error();
    SSL* ssl = SSL_new(ctx);
    BIO* bio = ssl != nullptr ? BIO_new(SocketMethod()) : nullptr;
    if (bio == nullptr) {
        SSL_free(ssl);
        CloseGated(fd, gate);
        throw ENetTLSError("TLS set-up failed: " + TakeOpenSSLError());
    }
    auto state = std::make_unique<SocketState>();
    state->fd = fd;
    BIO_set_data(bio, state.get());
    SSL_set_bio(ssl, bio, bio);
    // From here the stream owns the socket and the session; a failure closes both.
    auto stream = std::make_unique<TNetIOHandlerTLS>(fd, ssl, std::move(state));
    stream->Gate = gate;
    try {
        Handshake(ssl, fd, host, waitMs);
    } catch (...) {
        stream->MarkFailed();
        throw;
    }
    handshakes_.fetch_add(1);
    return stream;
}

void TNetTLSHandler::Handshake(ssl_st* ssl, int fd, const std::string& host, int waitMs) {
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl);
    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    const bool literal = IsIPv4Address(host);
    const bool named = literal ? X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) == 1
                               : !host.empty() &&
                                     X509_VERIFY_PARAM_set1_host(param, host.c_str(), 0) == 1 &&
                                     SSL_set_tlsext_host_name(ssl, host.c_str()) == 1;
    if (!named) {
        TakeOpenSSLError();
        throw ENetTLSCertificateError("TLS certificate cannot be checked: \"" + host +
                                      "\" is no host name");
    }
    for (;;) {
        ERR_clear_error();
        const int r = SSL_connect(ssl);
        if (r == 1)
            break;
        const int error = SSL_get_error(ssl, r);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
            if (!WaitFor(fd, error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, waitMs))
                throw ENetReadTimeout("Read Timeout");
            continue;
        }
        unsigned long code = 0;
        const std::string text = TakeOpenSSLError(&code);
        const long verified = SSL_get_verify_result(ssl);
        if (verified != X509_V_OK) {
            throw ENetTLSCertificateError("TLS certificate of " + host +
                                          " refused: " + CertificateReason(verified) + " (" +
                                          X509_verify_cert_error_string(verified) + ")");
        }
        if (code == 0 && error == SSL_ERROR_SYSCALL) {
            throw ENetTLSError("TLS handshake with " + host +
                               " failed: handshake failure (the server closed the connection)");
        }
        throw ENetTLSError("TLS handshake with " + host +
                           " failed: " + HandshakeReason(code, text));
    }
    if (SSL_get0_peer_certificate(ssl) == nullptr || SSL_get_verify_result(ssl) != X509_V_OK) {
        throw ENetTLSCertificateError("TLS certificate of " + host + " refused: none verified");
    }
}

}  // namespace tovalin::net
