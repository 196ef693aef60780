// A stand-in for the network: the client's connect is wrapped (ld --wrap=connect) so that its
// socket becomes one end of a local socket pair whose other end already holds the bytes of one
// scripted connection and is shut for writing. Reads then see exactly those bytes and a close,
// with no waiting and no TCP port, which keeps a fuzz run fast and free of time-outs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tovalin::fuzz {

// The byte streams of the next connections, in order; a connection beyond the last one gets
// an immediate close.
void ServeConnections(std::vector<std::string_view> streams);
// Closes every served peer end; call after the client is done with one input.
void CloseServedConnections();
// How many connects the client made since the last ServeConnections.
int ConnectCount();

}  // namespace tovalin::fuzz
