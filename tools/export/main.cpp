// tovalin-export [OPTIONS] URL
// Reads the topic at URL, following its pages, and writes the topic's title, the starter's name,
// the opening post and every later post of the starter as HTML, Markdown or JSON. The load runs
// on a worker thread; this thread waits for its end, for SIGINT or SIGTERM, and then writes what
// was read. Progress goes to standard error when that is a terminal.

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "net/net_http.h"
#include "net/net_reader_setup.h"
#include "tools/cli/tool_cli.h"
#include "tools/export/export_outcome.h"
#include "tools/export/output_file.h"
#include "tools/export/topic_export.h"

namespace {

constexpr const char* kTool = "tovalin-export";
// A read of the site that waits longer than this ends that page (the default of --timeout).
constexpr int kDefaultTimeoutSeconds = 60;
// The longest --timeout: a day; the client's wait is counted in milliseconds in an int.
constexpr int kMaxTimeoutSeconds = 24 * 60 * 60;

struct TOptions {
    std::string url;
    TExportFormat format = TExportFormat::Html;
    std::string output;
    int timeoutSeconds = kDefaultTimeoutSeconds;
    bool quiet = false;
};

constexpr const char* kExitStatusHelp =
    "Exit status:\n"
    "  0  the whole topic was written\n"
    "  1  nothing could be fetched (the reason is shown), or the output could not be written\n"
    "  2  a bad command line\n"
    "  3  the topic is incomplete: a page gave up or was cut short, a read timed out, or the\n"
    "     run was stopped by SIGINT or SIGTERM; the posts read until then are written and\n"
    "     each missing page is named on standard error\n"
    "  4  the address is not a topic page; nothing is written\n"
    "\n"
    "With -o, the file appears only when the run writes it whole; without -o nothing is\n"
    "written to standard output when nothing was fetched.";

// The one client of the export: made and configured here, used on the load's thread only.
void ConfigureClient(TNetHTTP& http, const TOptions& options) {
    ConfigureForReading(http);  // https, redirects, a resend on a connection dropped unseen
    http.ReadTimeout = options.timeoutSeconds * 1000;
}

// Progress on a terminal: one line rewritten in place.
class TProgressLine {
  public:
    explicit TProgressLine(bool shown) : shown_(shown), start_(std::chrono::steady_clock::now()) {}

    void Show(std::size_t pages, std::size_t posts, std::uint64_t bytes) {
        if (!shown_) {
            return;
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        std::lock_guard lock(mutex_);
        std::fprintf(stderr, "\rpages: %zu, posts: %zu, %.1f MB, %.1f s", pages, posts,
                     static_cast<double>(bytes) / 1e6, seconds);
        std::fflush(stderr);
        shownOnce_ = true;
    }

    // Ends the line before other messages; later Show calls print nothing.
    void End() {
        std::lock_guard lock(mutex_);
        if (shownOnce_) {
            std::fputc('\n', stderr);
        }
        shown_ = false;
    }

  private:
    bool shown_;
    bool shownOnce_ = false;
    std::chrono::steady_clock::time_point start_;
    std::mutex mutex_;
};

// While waiting, the posts that have arrived are converted a few at a time, so a signal is
// still answered at once.
constexpr std::size_t kPostsPerStep = 16;
// With nothing to convert, the wait for the load's end or a signal looks again after this long.
constexpr long kIdleWaitNs = 5'000'000;

// Runs the load on a worker thread and waits for it, SIGINT or SIGTERM, meanwhile converting the
// posts that arrive. Returns the name of the signal that stopped the wait, or the empty text when
// the load ended by itself. A stopped load is left running: its thread may sit in a read, and
// the process ends without waiting for it.
std::string RunLoad(TExportRecorder& recorder, const TOptions& options, TPreparedPosts& prepared) {
    sigset_t waited;
    sigemptyset(&waited);
    sigaddset(&waited, SIGINT);
    sigaddset(&waited, SIGTERM);
    sigaddset(&waited, SIGUSR1);  // the worker's "done"
    // Blocked before the worker starts, so it inherits the mask and only this thread takes them.
    pthread_sigmask(SIG_BLOCK, &waited, nullptr);
    const pthread_t waiter = pthread_self();
    std::thread worker([&recorder, &options, waiter] {
        TNetHTTP http;
        ConfigureClient(http, options);
        try {
            recorder.Run([&http](const std::string& address) { return http.Get(address); });
        } catch (const std::exception& e) {
            // The load itself catches every failure of a request; this is running out of memory.
            std::fprintf(stderr, "%s: %s: %s\n", kTool, options.url.c_str(), e.what());
        }
        pthread_kill(waiter, SIGUSR1);
    });
    int signal = -1;
    while (signal != SIGUSR1 && signal != SIGINT && signal != SIGTERM) {
        if (prepared.CatchUp(recorder.Posts(), kPostsPerStep)) {
            const timespec now{0, 0};
            signal = sigtimedwait(&waited, nullptr, &now);
        } else {
            const timespec idle{0, kIdleWaitNs};
            signal = sigtimedwait(&waited, nullptr, &idle);
        }
    }
    if (signal == SIGUSR1) {
        worker.join();
        return {};
    }
    recorder.Stop();
    worker.detach();
    return signal == SIGINT ? "SIGINT" : "SIGTERM";
}

int Export(const TOptions& options) {
    // A closed pipe must fail a write with an error, not end the process unannounced.
    ::signal(SIGPIPE, SIG_IGN);

    // These live until the process ends: a load stopped by a signal keeps its thread, which may
    // still report to them while the output is written.
    auto* progress = new TProgressLine(!options.quiet && isatty(STDERR_FILENO) == 1);
    auto* recorder = new TExportRecorder(
        options.url, [progress](std::size_t pages, std::size_t posts, std::uint64_t bytes) {
            progress->Show(pages, posts, bytes);
        });
    auto* prepared = new TPreparedPosts(options.format);
    const std::string stoppedBy = RunLoad(*recorder, options, *prepared);
    progress->End();

    const TTopicExport topic = recorder->Snapshot();
    const TExportOutcome outcome = DecideOutcome(kTool, options.url, topic, stoppedBy);
    for (const std::string& message : outcome.Messages) {
        std::fprintf(stderr, "%s\n", message.c_str());
    }
    if (!outcome.Write) {
        return outcome.ExitStatus;
    }
    TExportOutput output(options.output);
    std::string error;
    if (!output.Open(error)) {
        std::fprintf(stderr, "%s: cannot write %s\n", kTool, error.c_str());
        return kExitFailed;
    }
    WriteExport(
        topic, options.format, [&output](std::string_view piece) { output.Write(piece); },
        prepared);
    if (!output.Commit(error)) {
        std::fprintf(stderr, "%s: cannot write %s\n", kTool, error.c_str());
        return kExitFailed;
    }
    return outcome.ExitStatus;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app(
        "Read a whole topic of a community site and write the topic's title, the "
        "starter's name, the opening post and every later post of the starter.",
        kTool);
    tovalin::cli::AddVersion(app, kTool);
    TOptions options;
    app.add_option("URL", options.url, "Address of the topic's first page")->required();
    std::string format = "html";
    app.add_option("-f,--format", format,
                   "Output format: html (sanitised, scripts off), markdown (CommonMark) or json")
        ->type_name("FORMAT")
        ->check(CLI::IsMember({"html", "markdown", "json"}));
    app.add_option("-o,--output", options.output,
                   "Write to FILE (through a temporary file renamed into place) instead of "
                   "standard output")
        ->type_name("FILE");
    app.add_option("--timeout", options.timeoutSeconds,
                   "Seconds one read of the site may wait before that page is given up")
        ->type_name("SECONDS")
        ->check(CLI::Range(1, kMaxTimeoutSeconds));
    app.add_flag("-q,--quiet", options.quiet, "No progress line on a terminal");
    app.footer(kExitStatusHelp);
    if (const auto done = tovalin::cli::Parse(app, kTool, argc, argv)) {
        return *done;
    }
    options.format = *ParseExportFormat(format);

    const int status = Export(options);
    std::fflush(nullptr);
    // A load stopped by a signal may still hold its thread in a read: end without waiting.
    std::_Exit(status);
}
