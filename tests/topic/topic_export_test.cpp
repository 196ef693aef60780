// The export: JSON escaping, and the tool itself against a topic site on loopback.
#include "tools/export/topic_export.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <map>
#include <string>

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
    // wherever it stands in such a block, and bytes from 0x20 up (UTF-8 included) kept as is.
    for (int byte = 1; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        std::string escaped(1, c);
        if (c == '"' || c == '\\') {
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

// Runs the built tool and returns its standard output; stderr goes to a file (not a terminal).
std::string RunExport(const std::string& args, int* status, std::string* errors) {
    const std::string errFile = ::testing::TempDir() + "export_stderr.txt";
    const std::string command = std::string(TOVALIN_EXPORT_BINARY) + " " + args + " 2>" + errFile;
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    std::array<char, 4096> buffer{};
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) {
        out.append(buffer.data(), n);
    }
    *status = pclose(pipe);
    errors->clear();
    if (FILE* err = std::fopen(errFile.c_str(), "r")) {
        for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), err)) > 0;) {
            errors->append(buffer.data(), n);
        }
        std::fclose(err);
    }
    return out;
}

TEST(TopicExport, WritesTheStartersPostsFromEveryPageAsJson) {
    TTopicSite site;
    site.pages["/t/9"] = Page(Starter("{base}/people/q/", "Q\"uote") + Opening("<p>\"hi\"\t</p>") +
                              Reply("Q\"uote", "a\\b") + Next("{base}/t/9?p=2"));
    site.pages["/t/9?p=2"] = Page(Reply("Other", "no") + Reply("Q\"uote", "第二") + LastPageNext());
    site.setsCookie["/t/9"] = "s=1";
    site.needsCookie["/t/9?p=2"] = "Cookie: s=1";
    const auto server = Serve(site);

    int status = -1;
    std::string errors;
    const std::string out = RunExport(server->Url("/t/9") + " --format json", &status, &errors);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(errors, "");  // no progress when stderr is not a terminal
    const std::string base = server->Url("");
    EXPECT_EQ(out, "{\n  \"starter_url\": \"" + base +
                       "/people/q/\",\n"
                       "  \"starter_name\": \"Q\\\"uote\",\n"
                       "  \"first_post\": \"<p>\\\"hi\\\"\\t</p>\\n</div>\",\n"
                       "  \"posts\": [\n    \"a\\\\b\\n\",\n    \"第二\\n\"\n  ],\n"
                       "  \"pages\": [\n    \"" +
                       base + "/t/9\",\n    \"" + base + "/t/9?p=2\"\n  ]\n}\n");

    const std::string html = RunExport(server->Url("/t/9"), &status, &errors);
    EXPECT_EQ(status, 0);
    EXPECT_NE(html.find("<div class=\"post\">\na\\b\n\n</div>"), std::string::npos) << html;
    const std::string markdown =
        RunExport(server->Url("/t/9") + " --format markdown", &status, &errors);
    EXPECT_NE(markdown.find("## Post 2\n\n第二\n"), std::string::npos) << markdown;
}

TEST(TopicExport, RefusesBadArgumentsAndReportsAnUnreachableTopic) {
    int status = -1;
    std::string errors;
    RunExport("", &status, &errors);
    EXPECT_EQ(WEXITSTATUS(status), 2);
    RunExport("http://127.0.0.1:1/t --format pdf", &status, &errors);
    EXPECT_EQ(WEXITSTATUS(status), 2);

    const auto server = Serve({});  // every page is a 404
    const std::string out = RunExport(server->Url("/gone") + " --format json", &status, &errors);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(errors.find("could not fetch"), std::string::npos);
    EXPECT_NE(out.find("\"pages\": []"), std::string::npos);
    EXPECT_EQ(server->RequestCount(), 11u);  // one attempt and ten repeats
}

}  // namespace
