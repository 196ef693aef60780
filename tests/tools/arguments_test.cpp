// Every program's command line, as a Debian user tries it: --help on standard output with exit
// 0, --version, and a bad command line answered with "tool: message" on standard error and exit 2.
// Each tool is run as the built binary; none of these rows reaches the network.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Slurp(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

ToolRun RunTool(const std::string& binary, const std::string& args) {
    const std::string dir = ::testing::TempDir();
    const std::string out = dir + "args_out_" + std::to_string(::getpid());
    const std::string err = dir + "args_err_" + std::to_string(::getpid());
    const std::string command = binary + " " + args + " >" + out + " 2>" + err + " </dev/null";
    const int raw = std::system(command.c_str());
    ToolRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(out), Slurp(err)};
    std::remove(out.c_str());
    std::remove(err.c_str());
    return run;
}

struct ArgumentRow {
    std::string args;
    int status;
    std::string outStarts;  // standard output begins with this ("" : must be empty)
    std::string errStarts;  // standard error begins with this ("" : must be empty)
};

void CheckRows(const std::string& binary, const std::vector<ArgumentRow>& rows) {
    for (const ArgumentRow& row : rows) {
        SCOPED_TRACE(binary + " " + row.args);
        const ToolRun run = RunTool(binary, row.args);
        EXPECT_EQ(run.status, row.status) << run.err;
        if (row.outStarts.empty()) {
            EXPECT_EQ(run.out, "");
        } else {
            EXPECT_EQ(run.out.rfind(row.outStarts, 0), 0u) << run.out;
        }
        if (row.errStarts.empty()) {
            EXPECT_EQ(run.err, "");
        } else {
            EXPECT_EQ(run.err.rfind(row.errStarts, 0), 0u) << run.err;
        }
    }
}

TEST(Arguments, Get) {
    CheckRows(TOVALIN_GET_BINARY, {
                                      {"--help", 0, "Fetch addresses", ""},
                                      {"-h", 0, "Fetch addresses", ""},
                                      {"--version", 0, "tovalin-get 1.", ""},
                                      {"", 2, "", "tovalin-get: URL is required\n"},
                                      {"--bogus http://127.0.0.1:1/", 2, "", "tovalin-get: "},
                                      {"-x", 2, "", "tovalin-get: "},
                                  });
}

TEST(Arguments, Export) {
    CheckRows(TOVALIN_EXPORT_BINARY,
              {
                  {"--help", 0, "Read a whole topic", ""},
                  {"-h http://127.0.0.1:1/", 0, "Read a whole topic", ""},
                  {"--version", 0, "tovalin-export 1.", ""},
                  {"", 2, "", "tovalin-export: URL is required\n"},
                  {"http://127.0.0.1:1/ --format pdf", 2, "", "tovalin-export: --format: pdf"},
                  {"http://127.0.0.1:1/ --timeout 0", 2, "", "tovalin-export: --timeout"},
                  {"http://127.0.0.1:1/ --timeout soon", 2, "", "tovalin-export: --timeout"},
                  {"http://127.0.0.1:1/ -o", 2, "", "tovalin-export: "},
                  {"http://127.0.0.1:1/ http://127.0.0.1:2/", 2, "", "tovalin-export: "},
                  {"--quite http://127.0.0.1:1/", 2, "", "tovalin-export: "},
              });
    // Every exit status is documented in --help.
    const ToolRun help = RunTool(TOVALIN_EXPORT_BINARY, "--help");
    for (const char* status : {"  0  ", "  1  ", "  2  ", "  3  ", "  4  "}) {
        EXPECT_NE(help.out.find(std::string("\n") + status), std::string::npos) << status;
    }
}

#ifdef TOVALIN_WINDOW_BINARY
TEST(Arguments, Window) {
    // Help and version need no display; a bad command line is refused before the window shows.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string runtime = ::testing::TempDir() + "args_runtime";
    ::mkdir(runtime.c_str(), 0700);  // else Qt warns about it on standard error
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    CheckRows(TOVALIN_WINDOW_BINARY,
              {
                  {"--help", 0, "Usage: tovalin [options] [URL]", ""},
                  {"--version", 0, "tovalin 1.", ""},
                  {"--bogus", 2, "", "tovalin: Unknown option 'bogus'."},
                  {"http://127.0.0.1:1/a http://127.0.0.1:1/b", 2, "", "tovalin: one address"},
              });
}
#endif

TEST(Arguments, SampleSite) {
    CheckRows(TOVALIN_SAMPLE_SITE_BINARY, {
                                              {"--help", 0, "usage: tovalin-sample-site", ""},
                                              {"--version", 0, "tovalin-sample-site 1.", ""},
                                              {"--bogus", 2, "", "tovalin-sample-site: "},
                                              {"--port", 2, "", "tovalin-sample-site: "},
                                          });
}

}  // namespace
