#include "net/net_http.h"

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
    std::string body;
    try {
        body = DoGet(address);
    } catch (...) {
        ReleaseLargeBodyBuffer();
        KeepOrClose();
        throw;
    }
    ReleaseLargeBodyBuffer();
    KeepOrClose();
    return body;
}

void TNetCustomHTTP::ReleaseLargeBodyBuffer() {
    bodyBuffer_.clear();
    if (bodyBuffer_.capacity() > kKeptBodyBufferBytes) {
        std::string().swap(bodyBuffer_);
    }
}

std::string TNetCustomHTTP::DoGet(const std::string& address) {
    url_.Merge(TNetURI::Split(address));
    request_.Method = "GET";
    request_.Target = url_.Target();
    request_.Host = url_.HostValue();
    CheckWireAddress(url_);
    ChooseConnection();
    SendRequest();
    ReadResponseHead();

    const int code = response_.ResponseCode;
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
    return bodyBuffer_;
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
    if (EqualsIgnoreCase(url_.Protocol, "https")) {
        throw ENetIOHandlerPropInvalid("IOHandler value is not valid");
    }
    if (haveResponse_ && response_.AsksToClose() && IsOpen())
        CloseConnection();
    ProbeClose();
    if (!IsOpen())
        OpenConnection(ReadTimeout);
}

void TNetCustomHTTP::SendRequest() {
    const std::string cookie =
        cookies_ ? cookies_->CookieHeaderFor(url_.Host, url_.Path, false) : std::string();
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

void TNetCustomHTTP::ReadResponseHead() {
    headBytes_ = 0;
    do {
        std::string status = ReadHeadLine();
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
            return;  // a short body is the bytes that arrived
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

void TNetCustomHTTP::RaiseProtocolError() {
    std::string body;
    const int saved = ReadTimeout;
    ReadTimeout = kErrorBodyReadTimeoutMs;
    try {
        ReadBody(body);
    } catch (...) {
        ReadTimeout = saved;
        throw;
    }
    ReadTimeout = saved;
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
