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

#include "net/net_io_handler.h"

namespace tovalin::net {

enum class TNetMaxLineAction { maException, maSplit };

class TNetTLSHandler;

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
    // ENetException rather than growing without bound. Over TLS a close without the server's
    // close alert fails with ENetTLSError: the end of such a body cannot be told from a cut.
    void ReadUntilClose(std::string& sink,
                        std::size_t maxBytes = std::numeric_limits<std::size_t>::max());

    void BeginWrite();
    void WriteLine(std::string_view text);
    void EndWrite();

    // Whether the last close lacked the close alert of its stream (TLS only).
    bool CloseUnannounced() const { return closeUnannounced_; }

    std::size_t Buffered() const { return in_.size() - inHead_; }
    // Every byte received since the connection was made, for telling whether a request that
    // failed had any answer at all.
    std::uint64_t ReceivedBytes() const { return received_; }
    // Whether the open stream is TLS.
    bool Secure() const { return holder_ && holder_->Secure(); }

  protected:
    // Connects a fresh socket to host:port (the open of TNetTCPClient); with a TLS handler the
    // handshake follows before anything is sent.
    void OpenSocket(const std::string& host, int port, TNetTLSHandler* tls = nullptr);

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
    // Waits for the socket to be ready for what the handler asked; false when the wait passed.
    bool WaitReady(TNetIOResult::Kind want, int waitMs);

    TNetAbortGate gate_;
    std::unique_ptr<TNetIOHandler> holder_;
    bool everOpened_ = false;  // an open was tried since the last CloseConnection
    bool closed_ = false;
    // The stream ended without the close the handler can vouch for (TLS without its close
    // alert): what arrived until then may have been cut by someone between.
    bool closeUnannounced_ = false;
    std::uint64_t received_ = 0;
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
    // With a TLS handler the connection speaks TLS to Host.
    void OpenConnection(int timeout = 0, TNetTLSHandler* tls = nullptr);
};

}  // namespace tovalin::net
