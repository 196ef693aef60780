#pragma once
// TLS for the sample site: a server context made from a certificate chain and key in PEM files,
// so tests and benchmarks can read the site over https with a private authority.

#include <string>

struct ssl_ctx_st;
struct ssl_st;

class SiteTls {
  public:
    // Throws std::runtime_error naming the file that could not be used.
    SiteTls(const std::string& certFile, const std::string& keyFile);
    ~SiteTls();
    SiteTls(const SiteTls&) = delete;
    SiteTls& operator=(const SiteTls&) = delete;

    // A server session on an accepted socket after its handshake; nullptr when that failed.
    ssl_st* Accept(int fd) const;

  private:
    ssl_ctx_st* ctx_ = nullptr;
};

// One connection's byte stream: the socket, with a TLS session over it or not.
struct SiteStream {
    int fd = -1;
    ssl_st* ssl = nullptr;

    // Whole send; false when the peer has gone.
    bool SendAll(const std::string& bytes) const;
    // One receive into `buffer`; false on close, error or idle time-out.
    bool ReadMore(std::string& buffer) const;
    // Ends the TLS session with its close alert (when there is one) and frees it.
    void EndTls();
};
