// tovalin-sample-site: serves generated topics and an announcement page on 127.0.0.1 for the
// offline demo, the tests and the benchmarks (over https with --tls-cert and --tls-key). The first
// line on standard output is the base address, so a script can start it on port 0 and read where it
// listens.

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "tools/sample-site/sample_site.h"
#include "tools/sample-site/site_options.h"
#include "tools/sample-site/site_server.h"
#include "tools/sample-site/site_tls.h"

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
        std::shared_ptr<const SiteTls> tls;
        if (!options->tlsCert.empty()) {
            tls = std::make_shared<SiteTls>(options->tlsCert, options->tlsKey);
            // TLS writes through plain socket calls; a client that has gone must fail the
            // write, not end the site.
            ::signal(SIGPIPE, SIG_IGN);
        }
        SiteListener listener(options->port, tls);
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
