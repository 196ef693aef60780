// The blocking IPv4 TCP client connection with an input buffer: line, counted and until-close
// reads, and a buffered write that sends a whole request head at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace tovalin::net {

enum class TNetMaxLineAction { maException, maSplit };

// What TNetTCPConnection::Abort needs to reach the socket from another thread: the descriptor
// while it is open, under a lock that its close also takes, so a descriptor that was closed (and
// perhaps reused by someone else) is never shut down.
struct TNetAbortGate {
    std::mutex Lock;
    int Fd = -1;
    bool Aborted = false;
};

// Holds the socket handle and whether it is open.
class TNetIOHandlerSocket {
  public:
    TNetAbortGate* Gate = nullptr;
    ~TNetIOHandlerSocket() { Close(); }
    int Handle() const { return fd_; }
    bool Connected() const { return fd_ >= 0; }
    void Attach(int fd) { fd_ = fd; }
    void Close();
    // The platform's default send coalescing stays on; nothing turns it off.
    bool UseNagle = true;

  private:
    int fd_ = -1;
};

class TNetTCPConnection {
  public:
    static constexpr int kDefaultMaxLineLength = 16384;
    static constexpr int kDefaultRecvBufferSize = 32768;
    // The wait of a probe for a close that arrived while the connection was idle. A close that
    // has arrived is seen without waiting; a longer wait would only catch a close racing with
    // the request (which the request meets anyway) and would cost every request on a kept-alive
    // connection that long.
    static constexpr int kProbeWaitMs = 0;

    TNetTCPConnection();
    virtual ~TNetTCPConnection();
    TNetTCPConnection(const TNetTCPConnection&) = delete;
    TNetTCPConnection& operator=(const TNetTCPConnection&) = delete;

    int ReadTimeout = 0;  // milliseconds; 0 waits without limit
    int MaxLineLength = kDefaultMaxLineLength;
    TNetMaxLineAction MaxLineAction = TNetMaxLineAction::maException;
    int RecvBufferSize = kDefaultRecvBufferSize;
    int SendBufferSize = kDefaultRecvBufferSize;

    void CloseConnection();
    // Callable from any thread while the connection exists: shuts the open socket down so a
    // read or write blocked on it ends at once with an error, and makes every later open fail.
    // For a worker whose result nobody wants any more.
    void Abort();
    bool IsOpen();
    void ProbeClose();

    std::string ReadLine();
    // Appends exactly n bytes to the sink, or what arrived before the server closed (then
    // ENetConnClosedGracefully). The sink is never reserved beyond a cap up front, so an
    // announced size that never arrives costs nothing.
    void ReadCounted(std::uint64_t n, std::string& sink);
    // Appends every byte until the server closes. Beyond maxBytes the read fails with
    // ENetException rather than growing without bound.
    void ReadUntilClose(std::string& sink,
                        std::size_t maxBytes = std::numeric_limits<std::size_t>::max());

    void BeginWrite();
    void WriteLine(std::string_view text);
    void EndWrite();

    std::size_t Buffered() const { return in_.size() - inHead_; }

  protected:
    // Connects a fresh socket to host:port (the open of TNetTCPClient).
    void OpenSocket(const std::string& host, int port);

  private:
    static constexpr int kDefaultWait = -2;
    // Receives once into the input buffer. Returns false on a close with bytes buffered or on a
    // time-out that is not to fail.
    bool Fill(int waitMs, bool failOnClose, bool failOnTimeout);
    void MoveToSink(std::size_t n, std::string& sink);
    void Consume(std::size_t n);
    void CheckReadable();
    void CheckSendable();
    void SendAll(std::string_view bytes);
    void NoteClosed();

    TNetAbortGate gate_;
    std::unique_ptr<TNetIOHandlerSocket> holder_;
    bool closed_ = false;
    std::string in_;
    std::size_t inHead_ = 0;
    std::size_t searched_ = 0;  // bytes after inHead_ already known to hold no LF
    bool writing_ = false;
    std::string out_;
};

class TNetTCPClient : public TNetTCPConnection {
  public:
    std::string Host;
    int Port = 0;
    // timeout 0 (or -1): no limit of this program's own; the platform's connect limit applies.
    void OpenConnection(int timeout = 0);
};

}  // namespace tovalin::net
