// TLS for the client: attached to a TNetHTTP, it turns each new connection to an "https" address
// into an encrypted stream whose server has proved its name. OpenSSL does the protocol; the
// chain is checked against the system's trust store through OpenSSL's default paths, so
// SSL_CERT_FILE and SSL_CERT_DIR name a private authority.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "net/net_io_handler.h"

struct ssl_ctx_st;
struct ssl_st;

namespace tovalin::net {

class TNetTLSHandler {
  public:
    // Throws ENetTLSError when OpenSSL cannot set up a client context.
    TNetTLSHandler();
    ~TNetTLSHandler();
    TNetTLSHandler(const TNetTLSHandler&) = delete;
    TNetTLSHandler& operator=(const TNetTLSHandler&) = delete;

    // Runs the handshake on a connected socket, which the returned stream then owns: TLS 1.2 or
    // newer, the host name sent for SNI, the chain verified and the certificate checked against
    // `host` (a name, or an IPv4 literal). waitMs bounds each wait for the server (-1: none).
    // Failures: ENetTLSCertificateError for the certificate, ENetTLSError for the protocol,
    // ENetReadTimeout, or a socket error; the socket is closed by then.
    std::unique_ptr<TNetIOHandler> Start(int fd, const std::string& host, int waitMs);

    // Handshakes completed, so tests can see a kept-alive connection carry several requests.
    int Handshakes() const { return handshakes_.load(); }

  private:
    // SSL_connect until done, then the checks the library leaves to its caller.
    static void Handshake(ssl_st* ssl, int fd, const std::string& host, int waitMs);

    ssl_ctx_st* ctx_ = nullptr;
    std::atomic<int> handshakes_{0};
};

}  // namespace tovalin::net

using tovalin::net::TNetTLSHandler;
