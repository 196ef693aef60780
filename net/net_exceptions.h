// The error family of the network layer. Every failure of a request is one of these; the callers
// catch ENetException (or std::exception) and decide whether to try again.
#pragma once

#include <exception>
#include <string>

class ENetException : public std::exception {
  public:
    explicit ENetException(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& Message() const { return message_; }
    // The class name as the diagnostic tool prints it.
    virtual const char* ClassName() const { return "ENetException"; }

  private:
    std::string message_;
};

#define TOVALIN_NET_ERROR(Name, Base)                            \
    class Name : public Base {                                   \
      public:                                                    \
        using Base::Base;                                        \
        const char* ClassName() const override { return #Name; } \
    }

// Errors that are part of normal flow (a server closing) rather than faults.
TOVALIN_NET_ERROR(ENetSilentException, ENetException);
TOVALIN_NET_ERROR(ENetConnClosedGracefully, ENetSilentException);
TOVALIN_NET_ERROR(ENetTCPConnectionError, ENetException);
TOVALIN_NET_ERROR(ENetNotConnected, ENetTCPConnectionError);
TOVALIN_NET_ERROR(ENetReadTimeout, ENetException);
TOVALIN_NET_ERROR(ENetReadLnMaxLineLengthExceeded, ENetException);
TOVALIN_NET_ERROR(ENetInvalidSocket, ENetException);
TOVALIN_NET_ERROR(ENetAlreadyConnected, ENetException);
TOVALIN_NET_ERROR(ENetCouldNotBindSocket, ENetException);
TOVALIN_NET_ERROR(ENetProtocolReplyError, ENetException);
TOVALIN_NET_ERROR(ENetIOHandlerPropInvalid, ENetException);
TOVALIN_NET_ERROR(ENetUnknownProtocol, ENetException);
// A text that should have been a decimal number (a port) was not one.
TOVALIN_NET_ERROR(EConvertError, ENetException);
// TLS failed: the handshake, the protocol version, or a close without the server's close alert.
TOVALIN_NET_ERROR(ENetTLSError, ENetException);
// The server's certificate was not accepted: untrusted chain, expired, or another name.
TOVALIN_NET_ERROR(ENetTLSCertificateError, ENetTLSError);
// A redirect that is not followed: too many of them, or one from https to plain http.
TOVALIN_NET_ERROR(ENetRedirectError, ENetException);

#undef TOVALIN_NET_ERROR

// A failed socket call; the code is on the Winsock numbering so messages match on every platform.
class ENetSocketError : public ENetException {
  public:
    ENetSocketError(int code, std::string message)
        : ENetException(std::move(message)), code_(code) {}
    int code() const { return code_; }
    const char* ClassName() const override { return "ENetSocketError"; }

  private:
    int code_;
};

// A response that is not a success: the message is the status line as received.
class ENetHTTPProtocolException : public ENetProtocolReplyError {
  public:
    ENetHTTPProtocolException(std::string statusLine, int code, std::string body)
        : ENetProtocolReplyError(std::move(statusLine)), code_(code), body_(std::move(body)) {}
    int code() const { return code_; }
    const std::string& body() const { return body_; }
    const char* ClassName() const override { return "ENetHTTPProtocolException"; }

  private:
    int code_;
    std::string body_;
};
