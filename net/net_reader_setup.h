// How the program's own loads use the client: the bare TNetHTTP keeps the plain behaviour, and
// the places where people read (the window's topic loads, the announcement worker, the export)
// switch on what real sites need.
#pragma once

#include "net/net_http.h"

namespace tovalin::net {

// Attaches a TLS handler (so "https" addresses work), follows redirects, and sends a request
// once more when a kept-alive connection turns out to have been dropped by the server.
void ConfigureForReading(TNetCustomHTTP& http);

}  // namespace tovalin::net

using tovalin::net::ConfigureForReading;
