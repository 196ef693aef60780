// Addresses: splitting one into its parts, and merging it into the client's current address so a
// later address is read relative to the earlier ones.
#pragma once

#include <string>
#include <string_view>

#include "net/net_exceptions.h"

namespace tovalin::net {

class TNetURI {
  public:
    std::string Protocol;
    std::string Host;
    std::string Port;  // as text; read as a number only when a connection is chosen
    std::string Path;
    std::string Document;
    std::string Params;    // from the "?" (or "=") on
    std::string Bookmark;  // never sent
    std::string Username;  // never sent
    std::string Password;  // never sent

    static TNetURI Split(std::string_view address);

    // Merges a split address into this current address. Throws ENetUnknownProtocol when the
    // port has to come from a protocol other than http or https.
    void Merge(const TNetURI& address);

    // path + document + parameters, as bytes.
    std::string Target() const { return Path + Document + Params; }
    // The "Host" value: the host alone on port "80", else host ":" port.
    std::string HostValue() const;
};

// An address that cannot go on the wire as it stands; the message names the byte at fault.
class ENetAddressError : public ENetException {
  public:
    using ENetException::ENetException;
    const char* ClassName() const override { return "ENetAddressError"; }
};

// Fails with ENetAddressError when the request target or the host value holds a control byte
// (codes 0 to 31 and 127): a CR or LF there would end the request line or the "Host" line early
// and put text of a page's choosing on the wire as a request of its own. Called before anything
// is sent.
void CheckWireAddress(const TNetURI& url);

// The target as the request line carries it: spaces and bytes of 128 and above percent-encoded,
// as browsers send them; every other byte unchanged (a "%" already there included). Control
// bytes, refused earlier by CheckWireAddress, are encoded too, so the line can never be split.
std::string WireTarget(std::string_view target);

// The path normalisation of a merge: doubled "/" collapsed, ".." removing the segment before it.
std::string NormalisePath(std::string_view path);

}  // namespace tovalin::net
