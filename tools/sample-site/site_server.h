#pragma once
// The listening side of the sample site: one thread per connection, connections kept alive
// between requests, and the whole process ending after a quiet spell.

#include <memory>
#include <string>

#include "tools/sample-site/site_options.h"

class SampleSite;
class SiteTls;

// A listening socket on 127.0.0.1. Throws std::runtime_error when it cannot be opened.
class SiteListener {
  public:
    // With `tls` every connection is served over TLS.
    explicit SiteListener(int port, std::shared_ptr<const SiteTls> tls = nullptr);
    ~SiteListener();
    SiteListener(const SiteListener&) = delete;
    SiteListener& operator=(const SiteListener&) = delete;

    int Port() const { return port_; }
    std::string BaseAddress() const;  // "http(s)://127.0.0.1:PORT", no trailing slash

    // Accepts and serves connections until no request has arrived for the idle time of the
    // options; then returns.
    void Serve(SampleSite& site, const SiteOptions& options);

  private:
    int fd_ = -1;
    int port_ = 0;
    std::shared_ptr<const SiteTls> tls_;
};
