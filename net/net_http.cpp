#include "net/net_http.h"

#include "net/net_socket_errors.h"
#include "net/net_text.h"

namespace tovalin::net {

TNetCustomHTTP::TNetCustomHTTP() {
    Port = 80;
    url_.Port = "80";
}

TNetCustomHTTP::~TNetCustomHTTP() {
    CloseConnection();
}

std::string TNetCustomHTTP::Get(const std::string& address) {
    TNetURI next = TNetURI::Split(address);
    for (int redirects = 0;; ++redirects) {
        std::string body;
        bool redirected;
        try {
            redirected = Exchange(next, body);
        } catch (...) {
            ReleaseLargeBodyBuffer();
            KeepOrClose();
            throw;
        }
        ReleaseLargeBodyBuffer();
        KeepOrClose();
        if (!redirected)
            return body;
        if (redirects >= RedirectMaximum) {
            throw ENetRedirectError("Too many redirects: more than " +
                                    std::to_string(RedirectMaximum) + ", the last to " +
                                    response_.Location);
        }
        next = RedirectTarget();
    }
}

std::string TNetCustomHTTP::LastAddress() const {
    const bool defaultPort = (EqualsIgnoreCase(url_.Protocol, "https") && url_.Port == "443") ||
                             (EqualsIgnoreCase(url_.Protocol, "http") && url_.Port == "80");
    return url_.Protocol + "://" + url_.Host + (defaultPort ? "" : ":" + url_.Port) + url_.Target();
}

TNetURI TNetCustomHTTP::RedirectTarget() const {
    const std::string& location = response_.Location;
    TNetURI target = TNetURI::Split(location);
    if (target.Protocol.empty()) {
        // A relative Location stays with the protocol, host and port of the page that gave it.
        target.Protocol = url_.Protocol;
    } else if (!target.Host.empty() && target.Port.empty()) {
        // Another site on its own default port, not on whatever port this one used.
        if (EqualsIgnoreCase(target.Protocol, "https"))
            target.Port = "443";
        else if (EqualsIgnoreCase(target.Protocol, "http"))
            target.Port = "80";
    }
    const bool toHttps = EqualsIgnoreCase(target.Protocol, "https");
    if (!toHttps && !EqualsIgnoreCase(target.Protocol, "http")) {
        throw ENetRedirectError("Redirect to an address that is neither http nor https refused: " +
                                location);
    }
    // The reader's cookies and what is read would travel in the clear.
    if (EqualsIgnoreCase(url_.Protocol, "https") && !toHttps) {
        throw ENetRedirectError("Redirect from https to plain http refused: " + location);
    }
    return target;
}

void TNetCustomHTTP::ReleaseLargeBodyBuffer() {
    bodyBuffer_.clear();
    if (bodyBuffer_.capacity() > kKeptBodyBufferBytes) {
        std::string().swap(bodyBuffer_);
    }
}

bool TNetCustomHTTP::Exchange(const TNetURI& address, std::string& body) {
    url_.Merge(address);
    request_.Method = "GET";
    request_.Target = url_.Target();
    request_.Host = url_.HostValue();
    CheckWireAddress(url_);
    ChooseConnection();
    ReadResponseHead(SendAndReadStatusLine());

    const int code = response_.ResponseCode;
    const bool followed = code == 301 || code == 302 || code == 303 || code == 307 || code == 308;
    if (HandleRedirects && followed && !response_.Location.empty()) {
        // The redirect's own body is read so the connection can carry the next request.
        std::string dropped;
        ReadSideBody(dropped);
        inStep_ = true;
        return true;
    }
    const bool redirect =
        (code >= 300 && code <= 399 && code != 304) || !response_.Location.empty();
    if (redirect || code < 200 || code > 299)
        RaiseProtocolError();
    if (!IsOpen())
        throw ENetException("Undefined situation");
    // The body is collected in a buffer kept from call to call, so repeated requests do not
    // grow (and fault in) fresh memory each time, and is copied once into the result.
    bodyBuffer_.clear();
    if (code != 204) {
        ReadBody(bodyBuffer_);
    }
    inStep_ = true;
    body = bodyBuffer_;
    return false;
}

void TNetCustomHTTP::ChooseConnection() {
    if (!EqualsIgnoreCase(Host, url_.Host)) {
        if (IsOpen())
            CloseConnection();
        Host = url_.Host;
    }
    auto port = ParseDecimal32(url_.Port);
    if (!port)
        throw EConvertError("'" + url_.Port + "' is not a valid integer value");
    if (*port != Port) {
        if (IsOpen())
            CloseConnection();
        Port = *port;
    }
    const bool secure = EqualsIgnoreCase(url_.Protocol, "https");
    if (secure && !IOHandler) {
        throw ENetIOHandlerPropInvalid("IOHandler value is not valid");
    }
    if (haveResponse_ && response_.AsksToClose() && IsOpen())
        CloseConnection();
    if (IsOpen() && Secure() != secure)
        CloseConnection();
    ProbeClose();
    reusedConnection_ = IsOpen();
    if (!IsOpen())
        OpenConnection(ReadTimeout, secure ? IOHandler.get() : nullptr);
}

std::string TNetCustomHTTP::SendAndReadStatusLine() {
    headBytes_ = 0;
    const bool nothingPending = Buffered() == 0;
    const std::uint64_t before = ReceivedBytes();
    try {
        SendRequest();
        return ReadHeadLine();
    } catch (const ENetException& e) {
        // Only a connection that had served before, and that ended without a byte of answer,
        // is taken for one the server dropped while idle; anything else is the server's answer.
        const auto* socket = dynamic_cast<const ENetSocketError*>(&e);
        const bool died = dynamic_cast<const ENetConnClosedGracefully*>(&e) != nullptr ||
                          (socket != nullptr && IsConnectionLostCode(socket->code()));
        if (!ResendOnDeadConnection || !reusedConnection_ || !nothingPending ||
            ReceivedBytes() != before || !died) {
            throw;
        }
    }
    CloseConnection();
    reusedConnection_ = false;
    OpenConnection(ReadTimeout,
                   EqualsIgnoreCase(url_.Protocol, "https") ? IOHandler.get() : nullptr);
    headBytes_ = 0;
    SendRequest();
    return ReadHeadLine();
}

void TNetCustomHTTP::SendRequest() {
    const std::string cookie =
        cookies_ ? cookies_->CookieHeaderFor(url_.Host, url_.Path, Secure()) : std::string();
    const std::string version = ProtocolVersion == TNetHTTPProtocolVersion::pv1_1 ? "1.1" : "1.0";
    inStep_ = false;
    BeginWrite();
    for (const auto& line : request_.HeadLines(version, cookie))
        WriteLine(line);
    WriteLine("");
    EndWrite();
}

std::string TNetCustomHTTP::ReadHeadLine() {
    std::string line = ReadLine();
    headBytes_ += line.size() + 2;
    if (headBytes_ > kMaxHeadBytes)
        throw ENetException("Response header too large.");
    return line;
}

void TNetCustomHTTP::ReadResponseHead(std::string statusLine) {
    bool first = true;
    do {
        std::string status = first ? std::move(statusLine) : ReadHeadLine();
        first = false;
        response_ = TNetHTTPResponse();
        response_.StatusLine = std::move(status);
        haveResponse_ = true;
        ReadHeaderLines();
        response_.ReadValues();
        StoreCookies();
    } while (response_.ResponseCode == 100);
}

void TNetCustomHTTP::ReadHeaderLines() {
    // A close at the first header line fails the request; a close at a later one only ends the
    // header block (the connection is closed by then).
    std::string line = ReadHeadLine();
    while (!line.empty()) {
        response_.Headers.Add(std::move(line));
        try {
            line = ReadHeadLine();
        } catch (const ENetConnClosedGracefully&) {
            return;
        }
    }
}

void TNetCustomHTTP::StoreCookies() {
    if (!cookies_ && AllowCookies)
        cookies_ = std::make_unique<TNetCookieManager>();
    if (!cookies_)
        return;
    cookies_->StoreResponseCookies(response_.Headers.Values("Set-cookie"),
                                   response_.Headers.Values("Set-cookie2"), url_.Host, url_.Path);
}

void TNetCustomHTTP::ReadBody(std::string& body) {
    const TNetHTTPResponse& r = response_;
    if (r.ContentLength > 0) {
        // The announced length is only a promise: past the body limit the read stops with an
        // error instead of waiting for (and keeping) more.
        const bool tooLong = static_cast<std::uint64_t>(r.ContentLength) > MaxBodySize;
        try {
            ReadCounted(tooLong ? MaxBodySize + 1 : static_cast<std::uint64_t>(r.ContentLength),
                        body);
        } catch (const ENetConnClosedGracefully&) {
            // A short body is the bytes that arrived; over TLS only when the server ended the
            // session itself, since a bare close there is a cut anyone between could make.
            if (CloseUnannounced()) {
                throw ENetTLSError(
                    "TLS close alert missing: the server closed before the whole body arrived");
            }
            return;
        }
        if (tooLong)
            throw ENetException("Response body too large.");
    } else if (r.TransferEncoding.find("chunked") != std::string::npos) {
        ReadChunkedBody(body);
    } else if (!r.HasContentLength) {
        ReadUntilClose(body, MaxBodySize);
    }
}

void TNetCustomHTTP::ReadChunkedBody(std::string& body) {
    for (;;) {
        const std::int64_t size = ChunkSizeOf(ReadLine());
        if (size <= 0)
            break;
        if (static_cast<std::uint64_t>(size) > MaxBodySize - std::min(MaxBodySize, body.size())) {
            throw ENetException("Response body too large.");
        }
        const std::size_t before = body.size();
        ReadCounted(static_cast<std::uint64_t>(size), body);
        // A read on a connection the server has already closed ends short without an error.
        if (body.size() - before < static_cast<std::uint64_t>(size))
            throw ENetConnClosedGracefully("Connection Closed Gracefully.");
        ReadLine();
    }
    // The line after the last chunk ends the body or begins its trailer. A close before it
    // means the body was cut: a size line cut by the close reads as an empty line (size 0)
    // with its partial text left behind, so the close is met here.
    headBytes_ = 0;
    if (ReadHeadLine().empty())
        return;
    // Trailer lines up to the empty line belong to this response; left unread they would be
    // taken for the next response's status line on a kept-alive connection. A close inside
    // the trailer comes after the whole body.
    try {
        while (!ReadHeadLine().empty()) {
        }
    } catch (const ENetConnClosedGracefully&) {
    }
}

void TNetCustomHTTP::ReadSideBody(std::string& body) {
    const int saved = ReadTimeout;
    ReadTimeout = kErrorBodyReadTimeoutMs;
    try {
        ReadBody(body);
    } catch (...) {
        ReadTimeout = saved;
        throw;
    }
    ReadTimeout = saved;
}

void TNetCustomHTTP::RaiseProtocolError() {
    std::string body;
    ReadSideBody(body);
    inStep_ = true;
    throw ENetHTTPProtocolException(response_.StatusLine, response_.ResponseCode, std::move(body));
}

void TNetCustomHTTP::KeepOrClose() {
    if (!inStep_) {
        CloseConnection();
        inStep_ = true;
        return;
    }
    if (haveResponse_ && (!IsOpen() || response_.AsksToClose()))
        CloseConnection();
}

}  // namespace tovalin::net
