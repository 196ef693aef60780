// TLS for tests: a throwaway certificate authority made at run time (no key is ever checked
// in), the server certificates it signs, and server contexts for the loopback servers.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct ssl_ctx_st;

namespace tovalin::test {

// A certificate and its key as PEM files.
struct TestCertificate {
    std::string certFile;
    std::string keyFile;
};

// What a server certificate is made for: the names and IPv4 literals it holds, and the hours
// (from now) between which it is valid.
struct CertificateRequest {
    std::vector<std::string> dnsNames;
    std::vector<std::string> ipAddresses;
    int validFromHours = -1;
    int validToHours = 24;
};

// A certificate authority with its files in a fresh directory under /tmp, removed with it.
class TestCA {
  public:
    TestCA();
    ~TestCA();
    TestCA(const TestCA&) = delete;
    TestCA& operator=(const TestCA&) = delete;

    // The authority's certificate: what SSL_CERT_FILE names to trust it.
    const std::string& CertFile() const { return ca_.certFile; }
    const std::string& Dir() const { return dir_; }
    // A server certificate signed by this authority (files named after `stem`).
    TestCertificate Issue(const std::string& stem, const CertificateRequest& request);

  private:
    struct Keys;
    std::string dir_;
    TestCertificate ca_;
    std::unique_ptr<Keys> keys_;
};

// A server context serving `certificate`. With `tls11Only` it speaks TLS 1.0 and 1.1 only, as
// an outdated server would.
std::shared_ptr<ssl_ctx_st> MakeServerContext(const TestCertificate& certificate,
                                              bool tls11Only = false);

// Points SSL_CERT_FILE at `file` for the life of the object (the old value comes back after).
class TrustOnly {
  public:
    explicit TrustOnly(const std::string& file);
    ~TrustOnly();
    TrustOnly(const TrustOnly&) = delete;
    TrustOnly& operator=(const TrustOnly&) = delete;

  private:
    bool had_ = false;
    std::string old_;
};

}  // namespace tovalin::test
