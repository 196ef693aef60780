#pragma once
// Command-line options of the sample site: where it listens, which faults it plays for tests,
// the shape of the generated big topic, and when it stops by itself.

#include <optional>
#include <string>

struct SiteOptions {
    int port = 0;  // 0 lets the system choose a free port
    // A run that nobody talks to must not outlive the test or demo that forgot it.
    int idleExitSeconds = 600;
    int failFirst = 0;           // answer the first N requests with 503
    bool chunked = false;        // send bodies with chunked transfer coding
    bool closeEarly = false;     // close the connection after each response, unannounced
    bool requireCookie = false;  // later topic pages answer 403 without the first page's cookie
    int delayMs = 0;             // later topic pages are answered only after this wait (ms)
    int bigPages = 200;          // shape of the generated big topic (topic 2001)
    int bigRepliesPerPage = 100;
    // Both set: serve https with this certificate chain and key (PEM files); else plain http.
    std::string tlsCert;
    std::string tlsKey;
};

// Parses argv; on a bad or unknown option returns nothing and writes the reason to `error`.
std::optional<SiteOptions> ParseSiteOptions(int argc, char** argv, std::string& error);

// One-paragraph usage text for --help and option errors.
const char* SiteUsage();
