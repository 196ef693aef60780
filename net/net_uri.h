// Addresses: splitting one into its parts, and merging it into the client's current address so a
// later address is read relative to the earlier ones.
#pragma once

#include <string>
#include <string_view>

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

// The path normalisation of a merge: doubled "/" collapsed, ".." removing the segment before it.
std::string NormalisePath(std::string_view path);

}  // namespace tovalin::net
