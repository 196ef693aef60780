// tovalin-get URL...: GETs each address in turn on one client and writes the bodies to standard
// output; the first failure is printed as "<ErrorClass>: <message>" and ends the run with 1.
#include <cstdio>
#include <exception>
#include <string>

#include "net/net_exceptions.h"
#include "net/net_http.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tovalin-get URL...\n");
        return 2;
    }
    TNetHTTP http;
    for (int i = 1; i < argc; ++i) {
        try {
            const std::string body = http.Get(argv[i]);
            if (std::fwrite(body.data(), 1, body.size(), stdout) != body.size()) {
                std::fprintf(stderr, "tovalin-get: cannot write to standard output\n");
                return 1;
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
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
