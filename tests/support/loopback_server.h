// A scripted HTTP server on 127.0.0.1 for tests: each accepted connection runs a handler on its own
// thread, which reads request heads and answers with prepared bytes. Every wait is bounded and the
// server stops itself (destructor, or after an idle spell without connections), so a test that
// goes wrong fails instead of hanging.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

struct ssl_ctx_st;
struct ssl_st;

namespace tovalin::test {

using namespace std::chrono_literals;

class LoopbackServer;

// One accepted connection, as the handler sees it.
class ServerConnection {
  public:
    ServerConnection(int fd, LoopbackServer& server);
    ~ServerConnection();
    ServerConnection(const ServerConnection&) = delete;
    ServerConnection& operator=(const ServerConnection&) = delete;

    // The bytes up to and including the first CR LF CR LF; "" when the peer closes, the wait
    // passes or the server stops first. Every head read is recorded by the server.
    std::string ReadRequestHead(std::chrono::milliseconds wait = 5s);
    // Waits until the peer closes (true) or the wait passes (false); bytes that arrive meanwhile
    // are kept for the next head read. A zero wait still looks once.
    bool WaitForPeerClose(std::chrono::milliseconds wait = 5s);

    // Sends all bytes; false when the peer has gone (the test then checks the client).
    bool Send(std::string_view bytes);
    // Sends the bytes in pieces of `piece` bytes with a pause before each piece after the first.
    void SendInPieces(std::string_view bytes, std::size_t piece, std::chrono::milliseconds pause);
    // Sleeps up to `d`, returning early when the server is stopping.
    void Pause(std::chrono::milliseconds d);

    // An orderly close; over TLS the close alert goes first.
    void Close();
    // Over TLS: the TCP close alone, without the close alert (a cut). Plain: as Close.
    void CloseWithoutAlert();
    // Aborts the connection: the peer sees a reset instead of an orderly close.
    void Reset();
    bool Stopping() const;

  private:
    friend class LoopbackServer;
    // The server side of a TLS handshake; false (connection closed) when it fails.
    bool StartTls(ssl_ctx_st* ctx);
    // One receive (TLS or plain) after the socket was seen readable; <= 0 on close or error.
    long ReceiveSome(char* buffer, std::size_t size);
    // Whether bytes are ready without waiting (TLS may hold a decrypted record already).
    bool Pending() const;
    void DropTls();

    int fd_;
    ssl_st* ssl_ = nullptr;
    LoopbackServer& server_;
    std::string pending_;  // received bytes not yet returned as a head
};

class LoopbackServer {
  public:
    using Handler = std::function<void(ServerConnection&)>;

    // Without any connection for `idleLimit` the server stops accepting. With a TLS context each
    // connection is a TLS server session (the handler runs once its handshake succeeded).
    explicit LoopbackServer(Handler handler, std::chrono::milliseconds idleLimit = 10s,
                            std::shared_ptr<ssl_ctx_st> tls = nullptr);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::uint16_t port() const { return port_; }
    // "http://127.0.0.1:<port>" (https with TLS) followed by `path`.
    std::string Url(std::string_view path = "/") const;

    std::vector<std::string> Requests() const;  // every head received, in arrival order
    std::size_t RequestCount() const;
    // Waits until at least n heads have been received; false when the wait passes first.
    bool WaitForRequests(std::size_t n, std::chrono::milliseconds wait = 5s) const;
    int Connections() const { return connections_.load(); }
    // Connections whose TLS handshake failed (the handler did not run for them).
    int FailedHandshakes() const { return failedHandshakes_.load(); }

    void Stop();
    bool Stopping() const { return stopping_.load(); }

  private:
    friend class ServerConnection;
    void AcceptLoop();
    void Record(std::string head);

    Handler handler_;
    std::chrono::milliseconds idleLimit_;
    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::atomic<int> failedHandshakes_{0};
    std::shared_ptr<ssl_ctx_st> tls_;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::vector<std::thread> workers_;
    std::thread acceptor_;
};

using HeaderFields = std::vector<std::pair<std::string, std::string>>;

// "HTTP/1.1 <status> <reason>" + the given header lines + an empty line + body. No header is
// added on its own: pass "Content-Length" when the test wants one.
std::string HttpResponse(int status, const HeaderFields& headers, std::string_view body);
// HttpResponse with a "Content-Length" header for the body added last.
std::string HttpResponseWithLength(int status, const HeaderFields& headers, std::string_view body);

// The request target of a head ("GET /a/b HTTP/1.1" gives "/a/b"); "" when malformed.
std::string RequestTarget(std::string_view head);

// A handler for a small site: answers each request on a kept-alive connection with the bytes
// mapped to its target, or a 404 with a length when the target is unknown.
LoopbackServer::Handler SiteHandler(std::map<std::string, std::string> pages);

}  // namespace tovalin::test
