#include "tools/sample-site/site_options.h"

#include <charconv>
#include <cstring>

namespace {

// Bounds keep a mistyped number from asking for a topic that cannot be generated in memory.
constexpr int kMaxPages = 100000;
constexpr int kMaxRepliesPerPage = 1000;
constexpr int kMaxIdleExitSeconds = 7 * 24 * 3600;
constexpr int kMaxDelayMs = 60 * 1000;

bool ReadInt(const char* text, int low, int high, int& out) {
    const char* end = text + std::strlen(text);
    int value = 0;
    auto [ptr, ec] = std::from_chars(text, end, value);
    if (ec != std::errc() || ptr != end || value < low || value > high) {
        return false;
    }
    out = value;
    return true;
}

}  // namespace

const char* SiteUsage() {
    return "usage: tovalin-sample-site [--port N] [--idle-exit SECONDS] [--fail-first N]\n"
           "                           [--chunked] [--close-early] [--require-cookie] [--delay-ms "
           "MS]\n"
           "                           [--pages N] [--replies-per-page M]\n"
           "                           [--tls-cert FILE --tls-key FILE]\n"
           "Serves generated topics and an announcement page on 127.0.0.1 and prints its base\n"
           "address (http://127.0.0.1:PORT/) as the first line of standard output. With a TLS\n"
           "certificate chain and key (PEM) it serves https instead (https://127.0.0.1:PORT/).\n"
           "  /group/topic/1001/            the sample topic (12 pages)\n"
           "  /group/topic/2001/            the big topic (--pages x --replies-per-page)\n"
           "  /blog/post/announce.html      the announcement page (version 1.1: update offered)\n"
           "  /blog/post/announce-current.html  the same with version 1.0 (no update)\n";
}

std::optional<SiteOptions> ParseSiteOptions(int argc, char** argv, std::string& error) {
    SiteOptions options;
    struct NumberOption {
        const char* name;
        int* target;
        int low;
        int high;
    };
    const NumberOption numbers[] = {
        {"--port", &options.port, 0, 65535},
        {"--idle-exit", &options.idleExitSeconds, 1, kMaxIdleExitSeconds},
        {"--fail-first", &options.failFirst, 0, 1000000},
        {"--delay-ms", &options.delayMs, 0, kMaxDelayMs},
        {"--pages", &options.bigPages, 1, kMaxPages},
        {"--replies-per-page", &options.bigRepliesPerPage, 1, kMaxRepliesPerPage},
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--chunked") {
            options.chunked = true;
            continue;
        }
        if (arg == "--close-early") {
            options.closeEarly = true;
            continue;
        }
        if (arg == "--require-cookie") {
            options.requireCookie = true;
            continue;
        }
        if (arg == "--tls-cert" || arg == "--tls-key") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                error = arg + " needs a file";
                return std::nullopt;
            }
            (arg == "--tls-cert" ? options.tlsCert : options.tlsKey) = argv[++i];
            continue;
        }
        bool known = false;
        for (const NumberOption& number : numbers) {
            if (arg != number.name) {
                continue;
            }
            known = true;
            if (i + 1 >= argc || !ReadInt(argv[i + 1], number.low, number.high, *number.target)) {
                error = arg + " needs a number from " + std::to_string(number.low) + " to " +
                        std::to_string(number.high);
                return std::nullopt;
            }
            ++i;
        }
        if (!known) {
            error = "unknown option: " + arg;
            return std::nullopt;
        }
    }
    if (options.tlsCert.empty() != options.tlsKey.empty()) {
        error = "--tls-cert and --tls-key go together";
        return std::nullopt;
    }
    return options;
}
