// tovalin-get [OPTIONS] URL...: GETs each address in turn on one client and writes the bodies to
// standard output; the first failure is printed as "tovalin-get: <address>: <ErrorClass>:
// <message>" and ends the run with 1. "https" addresses are read over TLS, the server's
// certificate checked against the system's trust store (SSL_CERT_FILE / SSL_CERT_DIR name a
// private authority). Redirects are followed only with -L (as curl does); without it a redirect
// is the protocol error.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "net/net_exceptions.h"
#include "net/net_http.h"
#include "net/net_reader_setup.h"
#include "net/net_tls_handler.h"
#include "tools/cli/tool_cli.h"

namespace {

constexpr const char* kTool = "tovalin-get";
constexpr int kExitFailed = 1;

}  // namespace

int main(int argc, char** argv) {
    CLI::App app(
        "Fetch addresses with Tovalin's HTTP client and write the bodies to standard "
        "output, for diagnosing a site by hand.",
        kTool);
    tovalin::cli::AddVersion(app, kTool);
    std::vector<std::string> urls;
    bool followRedirects = false;
    app.add_option("URL", urls, "Addresses to fetch, in order, on one connection")->required();
    app.add_flag("-L,--location", followRedirects, "Follow redirects");
    app.footer(
        "Exit status: 0 every address fetched and written, 1 a request or a write failed, "
        "2 a bad command line.");
    if (const auto done = tovalin::cli::Parse(app, kTool, argc, argv)) {
        return *done;
    }

    TNetHTTP http;
    if (followRedirects) {
        ConfigureForReading(http);
    } else {
        http.IOHandler = std::make_shared<TNetTLSHandler>();
        // A request on a kept-alive connection the server dropped unseen is sent once more.
        http.ResendOnDeadConnection = true;
    }
    for (const std::string& url : urls) {
        try {
            const std::string body = http.Get(url);
            if (std::fwrite(body.data(), 1, body.size(), stdout) != body.size()) {
                std::fprintf(stderr, "%s: cannot write to standard output\n", kTool);
                return kExitFailed;
            }
        } catch (const ENetException& e) {
            std::fflush(stdout);
            std::fprintf(stderr, "%s: %s: %s: %s\n", kTool, url.c_str(), e.ClassName(), e.what());
            return kExitFailed;
        } catch (const std::exception& e) {
            std::fflush(stdout);
            std::fprintf(stderr, "%s: %s: %s\n", kTool, url.c_str(), e.what());
            return kExitFailed;
        }
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "%s: cannot write to standard output\n", kTool);
        return kExitFailed;
    }
    return 0;
}
