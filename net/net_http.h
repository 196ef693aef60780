// The HTTP/1.1 GET client: one connection kept open between calls while the server allows it,
// cookies sent back to the hosts that set them, no redirects followed, no TLS.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "net/net_cookie_manager.h"
#include "net/net_exceptions.h"
#include "net/net_http_response.h"
#include "net/net_tcp_connection.h"
#include "net/net_uri.h"

namespace tovalin::net {

enum class TNetHTTPProtocolVersion { pv1_0, pv1_1 };

// The request header fields; they keep their values from call to call and the header lines are
// rebuilt from them for every request.
class TNetHTTPRequest {
  public:
    std::string Method = "GET";
    std::string Target;
    std::string ContentType = "text/html";
    std::string Host;
    std::string Accept = "text/html, */*";
    std::string UserAgent = "Mozilla/3.0 (compatible; Tovalin)";
    std::int64_t ContentLength = -1;

    // The request line and header lines, folded, without line ends; `cookie` goes last.
    std::vector<std::string> HeadLines(const std::string& protocolVersion,
                                       const std::string& cookie) const;
};

class TNetCustomHTTP : public TNetTCPClient {
  public:
    // A failing response's body is read with this wait, so an error page that never ends
    // cannot hold the caller.
    static constexpr int kErrorBodyReadTimeoutMs = 2000;
    // Bodies beyond this size fail with ENetException instead of exhausting memory; the pages
    // this program reads are a few hundred KiB.
    static constexpr std::size_t kDefaultMaxBodySize = 256u << 20;
    // A response head (status, header and trailer lines together) beyond this fails.
    static constexpr std::size_t kMaxHeadBytes = 1u << 20;
    // The body buffer is kept between calls up to this size; a larger one is released.
    static constexpr std::size_t kKeptBodyBufferBytes = 8u << 20;

    TNetCustomHTTP();
    ~TNetCustomHTTP() override;

    // Settings, with the defaults of a client created with no owner.
    TNetHTTPProtocolVersion ProtocolVersion = TNetHTTPProtocolVersion::pv1_1;
    bool HandleRedirects = false;
    int RedirectMaximum = 15;
    bool AllowCookies = true;
    int AuthRetries = 3;
    std::size_t MaxBodySize = kDefaultMaxBodySize;

    std::string Get(const std::string& address);

    const TNetURI& URL() const { return url_; }
    const TNetHTTPRequest& Request() const { return request_; }
    const TNetHTTPResponse& Response() const { return response_; }
    // Absent until the first response arrives.
    TNetCookieManager* CookieManager() const { return cookies_.get(); }

  private:
    std::string DoGet(const std::string& address);
    void ChooseConnection();
    void SendRequest();
    void ReadResponseHead();
    void ReadHeaderLines();
    void StoreCookies();
    void ReadBody(std::string& body);
    void ReadChunkedBody(std::string& body);
    [[noreturn]] void RaiseProtocolError();
    void KeepOrClose();
    void ReleaseLargeBodyBuffer();
    std::string ReadHeadLine();

    TNetURI url_;
    TNetHTTPRequest request_;
    TNetHTTPResponse response_;
    bool haveResponse_ = false;
    // False from the moment a request goes out until its response has been read whole: a
    // failure in between leaves the stream at an unknown place, so the connection is dropped.
    bool inStep_ = true;
    std::size_t headBytes_ = 0;
    std::string bodyBuffer_;
    std::unique_ptr<TNetCookieManager> cookies_;
};

class TNetHTTP : public TNetCustomHTTP {};

}  // namespace tovalin::net

using tovalin::net::TNetHTTP;
