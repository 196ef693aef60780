#pragma once
// A bare HTTP/1.1 client for testing the sample site on the wire: it sends exactly the bytes a
// test writes and reads one response at a time, so keep-alive, chunking and closes are visible.
// Every read waits at most a few seconds.

#include <chrono>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tovalin::test {

struct RawHttpResponse {
    int status = 0;
    std::vector<std::pair<std::string, std::string>> headers;  // as received
    std::string body;  // with chunked transfer coding removed
    bool chunked = false;

    // The first value of a header, the name compared without letter case; empty when absent.
    std::string Header(std::string_view name) const;
};

class RawHttpConnection {
  public:
    // Connects to 127.0.0.1:port; throws std::runtime_error when that fails.
    explicit RawHttpConnection(int port);
    ~RawHttpConnection();
    RawHttpConnection(const RawHttpConnection&) = delete;
    RawHttpConnection& operator=(const RawHttpConnection&) = delete;

    void Send(std::string_view bytes);
    // Reads one whole response; throws std::runtime_error when the peer closes or stays silent
    // before it is complete. `headOnly` is for answers to HEAD, which carry no body.
    RawHttpResponse ReadResponse(bool headOnly = false);
    // Send a GET for `target` and read the answer.
    RawHttpResponse Get(const std::string& target, const std::string& extraHeaders = "");
    // True when the peer closes the connection within `wait` (no bytes are expected first).
    bool PeerCloses(std::chrono::milliseconds wait);

    static std::string GetRequest(const std::string& target, int port,
                                  const std::string& extraHeaders = "");

  private:
    bool Fill();  // reads more into buffer_; false on close
    std::string ReadLine();
    std::string ReadExactly(size_t n);

    int fd_ = -1;
    int port_ = 0;
    std::string buffer_;
};

}  // namespace tovalin::test
