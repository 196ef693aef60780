// tovalin-get [-L|--location] URL...: GETs each address in turn on one client and writes the
// bodies to standard output; the first failure is printed as "<ErrorClass>: <message>" and
// ends the run with 1. "https" addresses are read over TLS, the server's certificate checked
// against the system's trust store (SSL_CERT_FILE / SSL_CERT_DIR name a private authority).
// Redirects are followed, and a request on a connection the server dropped unseen is sent once
// more, only with -L (as curl does); without it a redirect is the protocol error.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "net/net_exceptions.h"
#include "net/net_reader_setup.h"

int main(int argc, char** argv) {
    bool follow = false;
    std::vector<std::string> addresses;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-L" || arg == "--location")
            follow = true;
        else
            addresses.push_back(arg);
    }
    if (addresses.empty()) {
        std::fprintf(stderr, "usage: tovalin-get [-L|--location] URL...\n");
        return 2;
    }
    try {
        TNetHTTP http;
        if (follow)
            ConfigureForReading(http);
        else
            http.IOHandler = std::make_shared<TNetTLSHandler>();
        for (const std::string& address : addresses) {
            const std::string body = http.Get(address);
            if (std::fwrite(body.data(), 1, body.size(), stdout) != body.size()) {
                std::fprintf(stderr, "tovalin-get: cannot write to standard output\n");
                return 1;
            }
        }
    } catch (const ENetException& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: %s\n", e.ClassName(), e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "Exception: %s\n", e.what());
        return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
