// TLS for the client: attached to a TNetHTTP, it turns each new connection to an "https" address
// into an encrypted stream whose server has proved its name. OpenSSL does the protocol; the
// chain is checked against the system's trust store through OpenSSL's default paths, so
// SSL_CERT_FILE and SSL_CERT_DIR name a private authority.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "net/net_io_handler.h"

struct ssl_ctx_st;
struct ssl_st;

namespace tovalin::net {

class TNetTLSHandler {
  public:
    // Cheap: the OpenSSL context and the trust store are set up at the first Start (and shared
    // with the other handlers of the process while SSL_CERT_FILE and SSL_CERT_DIR stay).
    TNetTLSHandler();
    ~TNetTLSHandler();
    TNetTLSHandler(const TNetTLSHandler&) = delete;
    TNetTLSHandler& operator=(const TNetTLSHandler&) = delete;

    // Runs the handshake on a connected socket, which the returned stream then owns: TLS 1.2 or
    // newer, the host name sent for SNI, the chain verified and the certificate checked against
    // `host` (a name, or an IPv4 literal). waitMs bounds each wait for the server (-1: none).
    // Failures: ENetTLSCertificateError for the certificate, ENetTLSError for the protocol
    // (or a context OpenSSL could not set up),
    // ENetReadTimeout, or a socket error; the socket is closed by then.
    std::unique_ptr<TNetIOHandler> Start(int fd, const std::string& host, int waitMs,
                                         TNetAbortGate* gate = nullptr);

    // Handshakes completed, so tests can see a kept-alive connection carry several requests.
    int Handshakes() const { return handshakes_.load(); }

  private:
    // SSL_connect until done, then the checks the library leaves to its caller.
    static void Handshake(ssl_st* ssl, int fd, const std::string& host, int waitMs);

    ssl_ctx_st* Context();

    std::once_flag made_;
    ssl_ctx_st* ctx_ = nullptr;
    std::string setupError_;
    std::atomic<int> handshakes_{0};
};

}  // namespace tovalin::net

using tovalin::net::TNetTLSHandler;
