// tovalin-sample-site: serves generated topics and an announcement page on 127.0.0.1 for the
// offline demo, the tests and the benchmarks. The first line on standard output is the base
// address, so a script can start it on port 0 and read where it listens.

#include <unistd.h>

#include <cstdio>
#include <exception>
#include <string>

#include "tools/sample-site/sample_site.h"
#include "tools/sample-site/site_options.h"
#include "tools/sample-site/site_server.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--help" || std::string(argv[i]) == "-h") {
            std::fputs(SiteUsage(), stdout);
            return 0;
        }
        if (std::string(argv[i]) == "--version") {
            std::printf("tovalin-sample-site %s\n", TOVALIN_VERSION);
            return 0;
        }
    }
    std::string error;
    const auto options = ParseSiteOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "tovalin-sample-site: %s\n%s", error.c_str(), SiteUsage());
        return 2;
    }
    try {
        SiteListener listener(options->port);
        SampleSite site(*options, listener.BaseAddress());
        std::printf("%s/\n", listener.BaseAddress().c_str());
        std::fflush(stdout);
        listener.Serve(site, *options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tovalin-sample-site: %s\n", e.what());
        return 1;
    }
    std::fflush(stdout);
    // Connection threads may still be blocked in a read; end without waiting for them.
    _exit(0);
}
