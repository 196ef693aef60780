// What the view fetches while it shows a post: pictures only. A second loopback server stands for
// any remote host a post names and counts what it is asked for.
#include "view/subresource_filter.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tests/support/loopback_server.h"
#include "tests/view/view_rendering.h"
#include "view/web_browser.h"

namespace {

using tovalin::test::HttpResponseWithLength;
using tovalin::test::LoopbackServer;
using tovalin::test::RequestTarget;
using tovalin::test::ServerConnection;
using view_test::RenderPost;
using view_test::ShownHtml;
using Type = QWebEngineUrlRequestInfo;

// Long enough for a stylesheet, its import and its font, or a prefetch, to have been asked for.
constexpr int kSettleMs = 2500;

// A transparent 1x1 GIF.
const std::string kGif(
    "GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff!\xf9\x04\x01"
    "\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02"
    "D\x01\x00;",
    43);

// Answers every request on a kept-alive connection: pictures for ".gif" targets (the one under
// "/cookie/" also sets a cookie), a stylesheet that imports another and names a web font and a
// picture for ".css", and a short body of the asked-for kind for anything else.
void AnswerAnything(ServerConnection& conn) {
    for (;;) {
        const std::string head = conn.ReadRequestHead();
        if (head.empty()) {
            return;
        }
        const std::string target = RequestTarget(head);
        const auto endsWith = [&](const char* tail) {
            return target.size() >= std::strlen(tail) &&
                   target.compare(target.size() - std::strlen(tail), std::string::npos, tail) == 0;
        };
        if (endsWith(".gif")) {
            tovalin::test::HeaderFields fields = {{"Content-Type", "image/gif"}};
            if (target.rfind("/cookie/", 0) == 0) {
                fields.push_back({"Set-Cookie", "seen=1; Path=/"});
            }
            conn.Send(HttpResponseWithLength(200, fields, kGif));
        } else if (endsWith(".css")) {
            conn.Send(HttpResponseWithLength(
                200, {{"Content-Type", "text/css"}},
                "@import url(/sheet-import.css);\n"
                "@font-face { font-family: f; src: url(/sheet-font.woff); }\n"
                "body { font-family: f; background: url(/sheet-bg.gif); }\n"));
        } else {
            conn.Send(HttpResponseWithLength(200, {{"Content-Type", "text/plain"}}, "x"));
        }
    }
}

// The filter runs on the main thread, so waiting for the server must keep the event loop going:
// a blocking wait would hold back the very request it waits for.
bool WaitForRequests(const LoopbackServer& server, std::size_t count) {
    return QTest::qWaitFor([&] { return server.RequestCount() >= count; }, view_test::kViewWaitMs);
}

std::vector<std::string> Targets(const LoopbackServer& server) {
    std::vector<std::string> targets;
    for (const std::string& head : server.Requests()) {
        targets.push_back(RequestTarget(head));
    }
    std::sort(targets.begin(), targets.end());
    return targets;
}

TEST(SubresourceFilter, PassesPicturesFromTheWebAndWhatStaysInTheProcess) {
    const struct {
        Type::ResourceType type;
        const char* url;
        bool allowed;
    } cases[] = {
        {Type::ResourceTypeImage, "http://img.example.com/a.png", true},
        {Type::ResourceTypeImage, "HTTPS://img.example.com/a.png", true},
        {Type::ResourceTypeImage, "file:///etc/passwd", false},
        {Type::ResourceTypeImage, "ftp://img.example.com/a.png", false},
        {Type::ResourceTypeMainFrame, "data:text/html;charset=UTF-8,%3Cp%3E", true},
        {Type::ResourceTypeMainFrame, "about:blank", true},
        {Type::ResourceTypeFontResource, "data:font/woff;base64,AAAA", true},
        {Type::ResourceTypeMainFrame, "http://site.example/topic/2", false},
        {Type::ResourceTypeSubFrame, "http://site.example/frame", false},
        {Type::ResourceTypeStylesheet, "http://site.example/a.css", false},
        {Type::ResourceTypeScript, "https://site.example/a.js", false},
        {Type::ResourceTypeFontResource, "http://site.example/f.woff", false},
        {Type::ResourceTypeSubResource, "http://site.example/x", false},
        {Type::ResourceTypeObject, "http://site.example/o.swf", false},
        {Type::ResourceTypeMedia, "http://site.example/v.mp4", false},
        {Type::ResourceTypePrefetch, "http://site.example/next", false},
        {Type::ResourceTypeFavicon, "http://site.example/favicon.ico", false},
        {Type::ResourceTypeXhr, "http://site.example/api", false},
        {Type::ResourceTypePing, "http://site.example/ping", false},
        {Type::ResourceTypeCspReport, "http://site.example/csp", false},
        {Type::ResourceTypePluginResource, "http://site.example/p", false},
        {Type::ResourceTypeWebSocket, "ws://site.example/s", false},
        {Type::ResourceTypeUnknown, "http://site.example/u", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AllowsViewRequest(c.type, QUrl(c.url)), c.allowed) << c.url;
    }
}

TEST(DisarmPosters, RenamesTheAttributeInAnyCaseAndNothingElse) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"<p>plain post</p>", "<p>plain post</p>"},
        {"<video poster=\"http://h/p.gif\">", "<video p&#111;ster=\"http://h/p.gif\">"},
        {"<VIDEO POSTER=x><video Poster = 'y'>", "<VIDEO P&#79;STER=x><video P&#111;ster = 'y'>"},
        {"a poster about http://h/poster.gif", "a p&#111;ster about http://h/p&#111;ster.gif"},
        {"posterposter", "p&#111;sterp&#111;ster"},
        {"poste", "poste"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DisarmPosters(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
    }
}

// One post naming every kind of subresource on a remote host: only its pictures are fetched.
TEST(SubresourceFilter, AShownPostFetchesItsPicturesAndNothingElse) {
    LoopbackServer server(AnswerAnything, std::chrono::seconds(60));
    const QString base = QString::fromStdString(server.Url(""));
    const QString post =
        QString(
            "<link rel=\"stylesheet\" href=\"%1/link.css\">"
            "<style>@import url(%1/style-import.css);"
            "@font-face { font-family: g; src: url(%1/style-font.woff); }"
            "p { font-family: g; }</style>"
            "<link rel=\"prefetch\" href=\"%1/prefetch\">"
            "<link rel=\"preload\" href=\"%1/preload.css\" as=\"style\">"
            "<link rel=\"icon\" href=\"%1/icon.ico\">"
            "<video src=\"%1/video.mp4\" poster=\"%1/poster.gif\" preload=\"auto\"></video>"
            "<audio src=\"%1/audio.mp3\" preload=\"auto\" autoplay></audio>"
            "<object data=\"%1/object.bin\"></object><embed src=\"%1/embed.bin\">"
            "<iframe src=\"%1/frame.html\"></iframe>"
            "<script src=\"%1/script.js\"></script>"
            "<p>post text about a poster</p>"
            "<img src=\"%1/picture.gif\">"
            "<div style=\"width:10px;height:10px;background:url(%1/background.gif)\"></div>")
            .arg(base);
    TWebBrowser view;
    view.show();
    ASSERT_TRUE(RenderPost(view, post, "post text"));
    ASSERT_TRUE(WaitForRequests(server, 2));
    QTest::qWait(kSettleMs);
    EXPECT_EQ(Targets(server), (std::vector<std::string>{"/background.gif", "/picture.gif"}));
    EXPECT_TRUE(ShownHtml(view).contains("post text about a poster"));
}

// Pictures go out as before: no Referer naming the page, and no cookie, even one the same host
// set on an earlier picture.
TEST(SubresourceFilter, PicturesGoOutWithoutRefererOrCookie) {
    LoopbackServer server(AnswerAnything, std::chrono::seconds(60));
    const QString base = QString::fromStdString(server.Url(""));
    TWebBrowser view;
    view.show();
    ASSERT_TRUE(RenderPost(view, QString("<p>first</p><img src=\"%1/cookie/first.gif\">").arg(base),
                           "first"));
    ASSERT_TRUE(WaitForRequests(server, 1));
    ASSERT_TRUE(RenderPost(
        view, QString("<p>second</p><img src=\"%1/cookie/second.gif\">").arg(base), "second"));
    ASSERT_TRUE(WaitForRequests(server, 2)) << testing::PrintToString(Targets(server));
    ASSERT_EQ(Targets(server),
              (std::vector<std::string>{"/cookie/first.gif", "/cookie/second.gif"}));
    for (const std::string& head : server.Requests()) {
        std::string lower = head;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        EXPECT_EQ(lower.find("\r\nreferer:"), std::string::npos) << head;
        EXPECT_EQ(lower.find("\r\ncookie:"), std::string::npos) << head;
    }
}

}  // namespace
