// The byte stream a connection reads and writes through: the plain socket, or TLS over it. The
// connection keeps the buffering and the waiting; a handler only moves bytes and never waits, so
// the line, counted and until-close reads behave the same whichever handler carries them.
#pragma once

#include <cstddef>
#include <mutex>

namespace tovalin::net {

// What TNetTCPConnection::Abort needs to reach the socket from another thread: the descriptor
// while it is open, under a lock that its close also takes, so a descriptor that was closed (and
// perhaps reused by someone else) is never shut down.
struct TNetAbortGate {
    std::mutex Lock;
    int Fd = -1;
    bool Aborted = false;
};

// Closes a socket, first taking it out of the gate (when there is one) under the gate's lock.
void CloseGated(int fd, TNetAbortGate* gate);

// What one receive or send attempt gave.
struct TNetIOResult {
    enum class Kind {
        Data,       // `bytes` moved (at least one)
        WantRead,   // nothing yet: wait until the socket is readable, then try again
        WantWrite,  // nothing yet: wait until the socket is writable, then try again
        Closed,     // the peer closed its side
        Failed,     // a socket error; `code` on the Winsock numbering
    };
    Kind kind = Kind::Failed;
    std::size_t bytes = 0;
    int code = 0;
    // For Closed: the peer said it was done before closing (always so on a plain socket; over
    // TLS only when its close alert arrived). A close without it may be a cut by a third party.
    bool announced = true;
};

class TNetIOHandler {
  public:
    virtual ~TNetIOHandler() = default;

    int Handle() const { return fd_; }
    bool Connected() const { return fd_ >= 0; }
    // Closes the socket; bytes not yet received are lost.
    virtual void Close();

    // One attempt each, never waiting.
    virtual TNetIOResult Receive(char* buffer, std::size_t size) = 0;
    virtual TNetIOResult Send(const char* bytes, std::size_t size) = 0;
    // Whether this stream is encrypted and authenticated (cookies flagged SECURE may go).
    virtual bool Secure() const { return false; }

    // The connection's abort gate that holds this socket, if any; the close clears it.
    TNetAbortGate* Gate = nullptr;

  protected:
    explicit TNetIOHandler(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// The plain TCP stream: the socket handle and whether it is open.
class TNetIOHandlerSocket final : public TNetIOHandler {
  public:
    explicit TNetIOHandlerSocket(int fd) : TNetIOHandler(fd) {}
    ~TNetIOHandlerSocket() override { Close(); }
    TNetIOResult Receive(char* buffer, std::size_t size) override;
    TNetIOResult Send(const char* bytes, std::size_t size) override;
    // The platform's default send coalescing stays on; nothing turns it off.
    bool UseNagle = true;
};

}  // namespace tovalin::net
