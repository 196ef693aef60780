// tovalin-export URL [--format html|markdown|json]
// Reads the topic at URL, following its pages, and writes the starter's name, the opening post
// and every later post of the starter to standard output. Progress goes to standard error when
// that is a terminal.

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "net/net_reader_setup.h"
#include "tools/export/topic_export.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitNothingFetched = 1;

int Usage() {
    std::cerr << "usage: tovalin-export URL [--format html|markdown|json]\n";
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<std::string> url;
    TExportFormat format = TExportFormat::Html;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        std::string_view formatName;
        if (arg == "--format" && i + 1 < argc) {
            formatName = argv[++i];
        } else if (arg.starts_with("--format=")) {
            formatName = arg.substr(9);
        } else if (!arg.starts_with("--") && !url) {
            url = std::string(arg);
            continue;
        } else {
            return Usage();
        }
        const auto parsed = ParseExportFormat(formatName);
        if (!parsed) {
            return Usage();
        }
        format = *parsed;
    }
    if (!url) {
        return Usage();
    }

    const bool showProgress = isatty(STDERR_FILENO) == 1;
    TExportProgress progress;
    if (showProgress) {
        progress = [](std::size_t pages, std::size_t posts) {
            std::fprintf(stderr, "\rpages fetched: %zu, posts found: %zu", pages, posts);
            std::fflush(stderr);
        };
    }

    // One client for the whole topic, so its cookies and its connection carry over.
    TNetHTTP http;
    ConfigureForReading(http);
    const TTopicExport topic = ExportTopic(
        *url, [&http](const std::string& address) { return http.Get(address); }, progress);
    if (showProgress) {
        std::fputc('\n', stderr);
    }

    WriteExport(topic, format,
                [](std::string_view piece) { std::fwrite(piece.data(), 1, piece.size(), stdout); });
    std::fflush(stdout);
    if (topic.Pages.empty()) {
        std::cerr << "tovalin-export: could not fetch " << *url << "\n";
        return kExitNothingFetched;
    }
    return 0;
}
