// The export: JSON escaping, and the tool itself against topic sites on loopback: its output,
// and a table of outcomes (whole, nothing, partial, not a topic, stalled, stopped, failed write).
#include "tools/export/topic_export.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/topic/topic_site.h"

namespace {

using namespace topic_page;
using namespace topic_site;

TEST(TopicExport, JsonStringsEscapeWhatJsonRequires) {
    EXPECT_EQ(JsonString(""), "\"\"");
    EXPECT_EQ(JsonString("<a href=\"x\">中</a>"), "\"<a href=\\\"x\\\">中</a>\"");
    EXPECT_EQ(JsonString("a\\b\n\r\t\b\f"), "\"a\\\\b\\n\\r\\t\\b\\f\"");
    EXPECT_EQ(JsonString(std::string("\x01\x1f\0", 3)), "\"\\u0001\\u001f\\u0000\"");
    EXPECT_EQ(JsonString("/ \x7f \xF0\x9F\x98\x80"), "\"/ \x7f \xF0\x9F\x98\x80\"");
}

TEST(TopicExport, EveryByteAtEveryPlaceOfABlockIsEscapedOrKept) {
    // The escaper skips eight plain bytes at a time: a byte needing an escape must be caught
    // wherever it stands in such a block, and ASCII from 0x20 up kept as is; a byte that is not
    // UTF-8 becomes U+FFFD, so the output stays valid whatever the input.
    for (int byte = 1; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        std::string escaped(1, c);
        if (byte >= 0x80) {
            escaped = "\xEF\xBF\xBD";  // a lone lead or continuation byte is no UTF-8
        } else if (c == '"' || c == '\\') {
            escaped = std::string("\\") + c;
        } else if (byte < 0x20) {
            const std::map<int, std::string> shortForms{
                {'\n', "\\n"}, {'\r', "\\r"}, {'\t', "\\t"}, {'\b', "\\b"}, {'\f', "\\f"}};
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x", byte);
            escaped = shortForms.count(byte) != 0 ? shortForms.at(byte) : code;
        }
        for (int at = 0; at < 17; ++at) {
            const std::string text = std::string(at, 'a') + c + std::string(9, 'z');
            ASSERT_EQ(JsonString(text),
                      "\"" + std::string(at, 'a') + escaped + std::string(9, 'z') + "\"")
                << "byte " << byte << " at " << at;
        }
    }
}

struct ExportRun {
    int status = -1;  // exit status, or -1 when the tool did not exit by itself
    std::string out;
    std::string err;
};

std::string Slurp(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// Runs the built tool with its standard output to `stdoutPath` (a file of the test's own when
// empty) and standard error to a file (not a terminal: no progress line). When `signalWhen` is
// given, SIGTERM is sent once it holds.
ExportRun RunExport(const std::vector<std::string>& args, const std::string& stdoutPath = "",
                    const std::function<bool()>& signalWhen = {}) {
    const std::string dir = ::testing::TempDir();
    const std::string out =
        stdoutPath.empty() ? dir + "export_out_" + std::to_string(::getpid()) : stdoutPath;
    const std::string err = dir + "export_err_" + std::to_string(::getpid());
    std::vector<std::string> argv{TOVALIN_EXPORT_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::freopen(out.c_str(), "w", stdout);
        std::freopen(err.c_str(), "w", stderr);
        std::vector<char*> raw;
        for (std::string& a : argv) {
            raw.push_back(a.data());
        }
        raw.push_back(nullptr);
        ::execv(raw[0], raw.data());
        ::_exit(127);
    }
    if (signalWhen) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!signalWhen() && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // into the read
        ::kill(pid, SIGTERM);
    }
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    ExportRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = stdoutPath.empty() || stdoutPath.rfind("/dev/", 0) != 0 ? Slurp(out) : "";
    run.err = Slurp(err);
    if (stdoutPath.empty()) {
        std::remove(out.c_str());
    }
    std::remove(err.c_str());
    return run;
}

TEST(TopicExport, WritesTheStartersPostsFromEveryPageAsJson) {
    TTopicSite site;
    site.pages["/t/9"] = Page(Starter("{base}/people/q/", "Q\"uote") + Opening("<p>\"hi\"\t</p>") +
                              Reply("Q\"uote", "a\\b") + Next("{base}/t/9?p=2"));
    site.pages["/t/9?p=2"] = Page(Reply("Other", "no") + Reply("Q\"uote", "第二") + LastPageNext());
    site.setsCookie["/t/9"] = "s=1";
    site.needsCookie["/t/9?p=2"] = "Cookie: s=1";
    const auto server = Serve(site);

    ExportRun run = RunExport({server->Url("/t/9"), "--format", "json"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");  // no progress when stderr is not a terminal
    const std::string base = server->Url("");
    EXPECT_EQ(run.out, "{\n  \"title\": \"小组话题\",\n  \"starter_url\": \"" + base +
                           "/people/q/\",\n"
                           "  \"starter_name\": \"Q\\\"uote\",\n"
                           "  \"first_post\": \"<p>\\\"hi\\\"\\t</p>\\n</div>\",\n"
                           "  \"posts\": [\n    \"a\\\\b\\n\",\n    \"第二\\n\"\n  ],\n"
                           "  \"pages\": [\n    \"" +
                           base + "/t/9\",\n    \"" + base + "/t/9?p=2\"\n  ]\n}\n");

    run = RunExport({server->Url("/t/9")});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("<title>小组话题</title>"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("<div class=\"post\">\na\\b\n\n</div>"), std::string::npos) << run.out;
    run = RunExport({server->Url("/t/9"), "-f", "markdown"});
    EXPECT_NE(run.out.find("## Post 2\n\n第二\n"), std::string::npos) << run.out;
}

// An address holding bytes that are not UTF-8 still gives valid JSON: they are percent-encoded
// (on the wire as well, so the site is asked for /t/%FF).
TEST(TopicExport, AddressBytesThatAreNotUtf8ArePercentEncodedInJson) {
    TTopicSite site;
    site.pages["/t/%FF"] = Page(Starter("{base}/people/q/", "Q") + Opening("o") + LastPageNext());
    const auto server = Serve(site);
    const ExportRun run = RunExport({server->Url("/t/\xff"), "--format", "json"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\"" + server->Url("/t/%FF") + "\""), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find('\xff'), std::string::npos);
}

struct OutcomeRow {
    std::string name;
    TTopicSite site;
    std::vector<std::string> extraArgs;
    bool stopWithSignal = false;  // SIGTERM once the second page was asked for
    int status;
    std::vector<std::string> errLines;  // each must appear on stderr ("{base}" is the server)
    std::string fileHolds;              // what -o FILE must hold; empty: no file may be left at all
};

std::vector<OutcomeRow> OutcomeRows() {
    const std::string firstPage = Page(Starter("{base}/people/a/", "安娜") + Opening("开篇") +
                                       Reply("安娜", "第一页的回复") + Next("{base}/t/1?p=2"));
    std::vector<OutcomeRow> rows;
    {
        OutcomeRow whole{"Whole", {}, {}, false, 0, {}, "第二页的回复"};
        whole.site.pages["/t/1"] = firstPage;
        whole.site.pages["/t/1?p=2"] = Page(Reply("安娜", "第二页的回复") + LastPageNext());
        rows.push_back(whole);
    }
    {
        OutcomeRow nothing{"NothingFetched",
                           {},
                           {},
                           false,
                           1,
                           {"tovalin-export: {base}/t/1: could not fetch the topic: "
                            "ENetHTTPProtocolException: HTTP/1.1 404 Not Found\n"},
                           ""};
        rows.push_back(nothing);
    }
    {
        OutcomeRow partial{"SecondPageGaveUp",
                           {},
                           {},
                           false,
                           3,
                           {"tovalin-export: {base}/t/1?p=2: page gave up: "
                            "ENetHTTPProtocolException: HTTP/1.1 404 Not Found\n",
                            "tovalin-export: {base}/t/1: the topic is incomplete"},
                           "第一页的回复"};
        partial.site.pages["/t/1"] = firstPage;
        rows.push_back(partial);
    }
    {
        OutcomeRow notTopic{"NotATopicPage",
                            {},
                            {},
                            false,
                            4,
                            {"tovalin-export: {base}/t/1: not a topic page"},
                            ""};
        notTopic.site.pages["/t/1"] = Page("<p>an ordinary page, no starter, no posts</p>");
        rows.push_back(notTopic);
    }
    {
        // The second page never answers: one read time-out ends it, and the load with it.
        OutcomeRow stalled{"SecondPageStalls",
                           {},
                           {"--timeout", "1"},
                           false,
                           3,
                           {"tovalin-export: {base}/t/1?p=2: page gave up: ENetReadTimeout"},
                           "第一页的回复"};
        stalled.site.pages["/t/1"] = firstPage;
        stalled.site.pages["/t/1?p=2"] = Page(LastPageNext());
        stalled.site.gates["/t/1?p=2"] = std::make_shared<std::atomic<bool>>(false);
        rows.push_back(stalled);
    }
    {
        OutcomeRow stopped{"StoppedBySigterm",
                           {},
                           {},
                           true,
                           3,
                           {"tovalin-export: {base}/t/1: stopped by SIGTERM after 1 pages"},
                           "第一页的回复"};
        stopped.site.pages["/t/1"] = firstPage;
        stopped.site.pages["/t/1?p=2"] = Page(LastPageNext());
        stopped.site.gates["/t/1?p=2"] = std::make_shared<std::atomic<bool>>(false);
        rows.push_back(stopped);
    }
    return rows;
}

// Each outcome: its exit status, what it tells on stderr, and what -o leaves behind. Standard
// output stays empty whenever -o is given, and a failed run leaves no file (not even a partial
// temporary one) and an existing file untouched.
TEST(TopicExport, OutcomesSetTheExitStatusTheMessagesAndTheFile) {
    for (OutcomeRow& row : OutcomeRows()) {
        SCOPED_TRACE(row.name);
        const std::string dir = ::testing::TempDir() + "export_" + row.name + "/";
        ::mkdir(dir.c_str(), 0700);
        const std::string file = dir + "topic.md";
        const auto server = Serve(row.site);
        std::vector<std::string> args{server->Url("/t/1"), "-f", "markdown", "-o", file};
        args.insert(args.end(), row.extraArgs.begin(), row.extraArgs.end());
        std::function<bool()> when;
        if (row.stopWithSignal) {
            when = [&server] { return server->RequestCount() >= 2; };
        }
        const auto started = std::chrono::steady_clock::now();
        const ExportRun run = RunExport(args, "", when);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(8));
        EXPECT_EQ(run.status, row.status) << run.err;
        EXPECT_EQ(run.out, "");
        for (const std::string& line : row.errLines) {
            EXPECT_NE(run.err.find(ReplaceAll(line, "{base}", server->Url(""))), std::string::npos)
                << run.err;
        }
        if (row.fileHolds.empty()) {
            EXPECT_FALSE(Exists(file));
        } else {
            EXPECT_NE(Slurp(file).find(row.fileHolds), std::string::npos) << Slurp(file);
        }
        for (auto* gate : {&row.site.gates}) {
            for (auto& [target, open] : *gate) {
                open->store(true);
            }
        }
        // Nothing else in the folder: no temporary file left behind.
        std::size_t entries = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) {
            ++entries;
        }
        EXPECT_EQ(entries, row.fileHolds.empty() ? 0u : 1u);
        std::filesystem::remove_all(dir);
    }
}

TEST(TopicExport, AFailedRunLeavesAnExistingFileAlone) {
    const auto server = Serve({});  // every page is a 404
    const std::string file = ::testing::TempDir() + "export_existing.html";
    { std::ofstream(file) << "kept"; }
    const ExportRun run = RunExport({server->Url("/t/1"), "-o", file});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Slurp(file), "kept");
    EXPECT_EQ(server->RequestCount(), 11u);  // one attempt and ten repeats
    std::remove(file.c_str());
}

// A full disk fails the run in every format, through -o and through standard output alike.
TEST(TopicExport, AWriteThatFailsFailsTheRun) {
    TTopicSite site;
    site.pages["/t/1"] = Page(Starter("{base}/people/a/", "A") + Opening("o") + LastPageNext());
    const auto server = Serve(site);
    for (const char* format : {"html", "markdown", "json"}) {
        SCOPED_TRACE(format);
        ExportRun run = RunExport({server->Url("/t/1"), "-f", format, "-o", "/dev/full"});
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("tovalin-export: cannot write /dev/full: No space left on device"),
                  std::string::npos)
            << run.err;
        run = RunExport({server->Url("/t/1"), "-f", format}, "/dev/full");
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("tovalin-export: cannot write standard output: No space left"),
                  std::string::npos)
            << run.err;
    }
    const ExportRun run = RunExport({server->Url("/t/1"), "-o", "/nonexistent-dir/x.html"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("tovalin-export: cannot write /nonexistent-dir/x.html: No such file"),
              std::string::npos)
        << run.err;
}

}  // namespace
