// The process-wide start and stop of the socket layer: the first network object starts it and
// the last one stops it. Clients are created on several threads at once, so the count is
// changed under one lock.
#pragma once

namespace tovalin::net {

class TNetSocketLayer {
  public:
    static void Acquire();
    static void Release();
    // How many network objects hold the layer now.
    static int Users();
    // How many times the layer has been started in this process.
    static int Starts();
};

}  // namespace tovalin::net
