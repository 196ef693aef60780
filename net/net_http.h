// The HTTP/1.1 GET client: one connection kept open between calls while the server allows it,
// cookies sent back to the hosts that set them. A bare client follows no redirects, never sends
// a request twice and refuses "https"; a caller that attaches a TLS handler and switches
// redirects and the resend on gets a client that reads real sites (ConfigureForReading).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "net/net_cookie_manager.h"
#include "net/net_exceptions.h"
#include "net/net_http_response.h"
#include "net/net_tcp_connection.h"
#include "net/net_tls_handler.h"
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
    // Off: a redirect fails as any other non-success. On: 301, 302, 303, 307 and 308 with a
    // Location are followed with a GET, up to RedirectMaximum of them for one Get.
    bool HandleRedirects = false;
    int RedirectMaximum = 15;
    // Without a handler an "https" address fails before anything is sent.
    std::shared_ptr<TNetTLSHandler> IOHandler;
    // A request sent on a reused connection that dies before the first byte of its answer (the
    // server dropped the idle connection unseen) is sent once more on a new connection.
    bool ResendOnDeadConnection = false;
    bool AllowCookies = true;
    int AuthRetries = 3;
    std::size_t MaxBodySize = kDefaultMaxBodySize;

    std::string Get(const std::string& address);

    const TNetURI& URL() const { return url_; }
    // The address the last request went to, redirects included: where a body came from.
    std::string LastAddress() const;
    const TNetHTTPRequest& Request() const { return request_; }
    const TNetHTTPResponse& Response() const { return response_; }
    // Absent until the first response arrives.
    TNetCookieManager* CookieManager() const { return cookies_.get(); }

  private:
    // One request and response; true when it was a redirect to follow (body read and dropped).
    bool Exchange(const TNetURI& address, std::string& body);
    // The address a redirect leads to, or ENetRedirectError when it is not to be followed.
    TNetURI RedirectTarget() const;
    void ChooseConnection();
    void SendRequest();
    // Sends the request and reads the status line, sending once more on a new connection
    // when a reused one died unanswered and the resend is on.
    std::string SendAndReadStatusLine();
    void ReadResponseHead(std::string statusLine);
    // A failing or redirecting response's body, read with the short wait.
    void ReadSideBody(std::string& body);
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
    bool reusedConnection_ = false;  // the current request went out on a kept-alive connection
    std::size_t headBytes_ = 0;
    std::string bodyBuffer_;
    std::unique_ptr<TNetCookieManager> cookies_;
};

class TNetHTTP : public TNetCustomHTTP {};

}  // namespace tovalin::net

using tovalin::net::TNetHTTP;
