// Handlers for the scripted servers of the network tests.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/loopback_server.h"

namespace tovalin::test {

// Every connection: read one request head, send `bytes`, then close.
inline LoopbackServer::Handler ReplyAndClose(std::string bytes) {
    return [bytes](ServerConnection& c) {
        if (c.ReadRequestHead().empty())
            return;
        c.Send(bytes);
        c.Close();
    };
}

// One kept-alive conversation per connection: the i-th request head on a connection gets the
// i-th response; after the last one the server waits for the client to close.
inline LoopbackServer::Handler Conversation(std::vector<std::string> responses) {
    return [responses](ServerConnection& c) {
        for (const auto& r : responses) {
            if (c.ReadRequestHead().empty())
                return;
            c.Send(r);
        }
        c.WaitForPeerClose();
    };
}

// Answers every request on every connection with the same bytes, keeping connections open.
inline LoopbackServer::Handler AlwaysReply(std::string bytes) {
    return [bytes](ServerConnection& c) {
        while (!c.ReadRequestHead().empty())
            c.Send(bytes);
    };
}

}  // namespace tovalin::test
