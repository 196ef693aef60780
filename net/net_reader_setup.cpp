#include "net/net_reader_setup.h"

#include <memory>

namespace tovalin::net {

void ConfigureForReading(TNetCustomHTTP& http) {
    http.IOHandler = std::make_shared<TNetTLSHandler>();
    http.HandleRedirects = true;
    http.ResendOnDeadConnection = true;
}

}  // namespace tovalin::net
