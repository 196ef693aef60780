// The HTML view adapter: the render sequence shows the written page, posts cannot run scripts or
// move the view, and clicked links go out through the opener.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "tests/view/view_rendering.h"
#include "view/document_swap.h"
#include "view/markup_guard.h"
#include "view/navigation_policy.h"
#include "view/web_browser.h"

namespace {

using view_test::ShownHtml;

TEST(WebBrowser, ShowsTheWrittenPageAndNeverRunsItsScripts) {
    TWebBrowser browser;
    browser.show();
    EXPECT_EQ(browser.Document(), nullptr) << "no document before the first Navigate";
    ASSERT_TRUE(view_test::RenderPieces(
        browser,
        {"<html><head><title>post</title></head><body>", "<p id=\"p\">楼主的第一帖 &amp; more</p>",
         "<script>document.title = 'script ran';"
         "document.body.innerHTML = 'replaced';</script></body></html>"},
        QString::fromUtf8("楼主的第一帖")));
    EXPECT_EQ(browser.size(), QSize(538, 489));
    const QString html = ShownHtml(browser);
    EXPECT_TRUE(html.contains(QString::fromUtf8("楼主的第一帖 &amp; more"))) << html.toStdString();
    // Had the script run, the body would hold nothing but its replacement and the title would
    // have changed.
    EXPECT_TRUE(html.contains("<p id=\"p\">"));
    EXPECT_EQ(browser.engineView()->title(), "post");

    // A second render replaces the first page whole.
    ASSERT_TRUE(
        view_test::RenderPieces(browser, {"<html><body><p>second</p></body></html>"}, "second"));
    const QString second = ShownHtml(browser);
    EXPECT_TRUE(second.contains("second"));
    EXPECT_FALSE(second.contains(QString::fromUtf8("楼主的第一帖")));
}

TEST(WebBrowser, ErrorsAreOleErrorsWithAMessage) {
    TWebBrowser browser;
    EXPECT_THROW(browser.Navigate("::not an address"), EOleError);
    EXPECT_THROW(browser.Navigate("http://example.com/"), EOleError) << "the view never browses";
}

// A post of several megabytes (far past what a data: address can carry) shows whole, and a page
// written right after it replaces it: the last page written is the one on display.
TEST(WebBrowser, ShowsPagesOfAnySizeAndTheLastWrittenWins) {
    TWebBrowser browser;
    browser.show();
    // About 5 MB of Chinese text once encoded, with the characters that need escaping on the
    // way to the engine and a character outside the basic plane at a chunk's edge.
    QString post = QStringLiteral("<p id=\"start\">\"quoted\" back\\slash \u2028 line</p><p>");
    const QString line = QString::fromUtf8("楼主的长帖，第一句话。\n\r\t");
    const qsizetype lines = 5 * 1024 * 1024 / line.toUtf8().size() + 1;
    post.reserve(post.size() + lines * line.size() + 64);
    for (qsizetype i = 0; i < lines; ++i) {
        post += line;
    }
    post += QString::fromUtf8("𠀀</p><p id=\"end\">长帖的最后一句</p>");
    ASSERT_TRUE(view_test::RenderPieces(browser, {"<html><body>", post, "</body></html>"},
                                        QString::fromUtf8("长帖的最后一句")));
    const QString shown = ShownHtml(browser);
    EXPECT_TRUE(shown.contains(QString::fromUtf8("\"quoted\" back\\slash"))) << "escaping";
    EXPECT_TRUE(shown.contains(QString::fromUtf8("𠀀</p>")));
    EXPECT_GE(shown.size(), post.size() - 64);

    // Three pages in a row without waiting: only the last one stays.
    for (const char* text : {"first of three", "second of three", "third of three"}) {
        browser.Navigate("about:blank");
        browser.Document()->write(QString("<html><body><p>%1</p></body></html>").arg(text));
        browser.Document()->close();
        browser.Refresh();
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return ShownHtml(browser).contains("third of three"); },
                                view_test::kViewWaitMs));
    EXPECT_FALSE(ShownHtml(browser).contains("second of three"));
    EXPECT_EQ(browser.engineView()->url(), QUrl("about:blank")) << "no load per page";
}

TEST(DocumentSwap, LiteralsEscapeWhatEndsAStringAndChunksKeepCharactersWhole) {
    EXPECT_EQ(JavaScriptStringLiteral(u"a\"b\\c\nd\re\x01"
                                      u"f\u2028g\u2029h"),
              QStringLiteral("\"a\\\"b\\\\c\\nd\\re\\u0001f\\u2028g\\u2029h\""));
    // A surrogate pair on a chunk's edge moves whole into the next chunk.
    const QString text = QStringLiteral("ab") + QString::fromUtf8("𠀀") + QStringLiteral("cd");
    const QStringList scripts = DocumentSwapScripts(text, 3);
    ASSERT_EQ(scripts.size(), 3);
    EXPECT_TRUE(scripts[0].contains("\"ab\"")) << scripts[0].toStdString();
    EXPECT_TRUE(scripts[1].contains(QString::fromUtf8("\"𠀀c\""))) << scripts[1].toStdString();
    EXPECT_TRUE(scripts[2].contains("\"d\"") && scripts[2].contains("DOMParser"));
    EXPECT_EQ(DocumentSwapScripts(QString(), 3).size(), 1) << "an empty page still replaces";
}

TEST(DisarmHttpEquiv, RenamesTheAttributeInAnyCaseAndLeavesTextAlone) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"<p>plain post</p>", "<p>plain post</p>"},
        {"<meta http-equiv=\"refresh\" content=\"0\">",
         "<meta http&#45;equiv=\"refresh\" content=\"0\">"},
        {"<META HTTP-EQUIV=refresh CONTENT=0><meta Http-Equiv='x'>",
         "<META HTTP&#45;EQUIV=refresh CONTENT=0><meta Http&#45;Equiv='x'>"},
        // Text stays as written: only tags are touched.
        {"text about http-equiv", "text about http-equiv"},
        {"http-equivhttp-equiv", "http-equivhttp-equiv"},
        {"<textarea><meta http-equiv=refresh></textarea><!-- http-equiv -->",
         "<textarea><meta http-equiv=refresh></textarea><!-- http-equiv -->"},
        // A repeated attribute would take over once the first is renamed: every one goes.
        {"<meta http-equiv=x HTTP-equiv=refresh content=0>",
         "<meta http&#45;equiv=x HTTP&#45;equiv=refresh content=0>"},
        {"<p title=\"about http-equiv\">t</p>", "<p title=\"about http&#45;equiv\">t</p>"},
        {"http-equi", "http-equi"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DisarmHttpEquiv(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
    }
}

// A post can neither reload the written page nor send the view elsewhere with a refresh; the
// words it shows stay as written.
TEST(WebBrowser, MetaRefreshInAPostDoesNothing) {
    const char* const posts[] = {
        "<meta http-equiv=\"refresh\" content=\"0\"><p>post text about http-equiv</p>",
        "<meta HTTP-EQUIV=\"Refresh\" content=\"1;url=about:blank#gone\"><p>post text about "
        "http-equiv</p>",
        "<meta http-equiv=refresh content=\"0;url=data:text/html,gone\"><p>post text about "
        "http-equiv</p>",
    };
    for (const char* post : posts) {
        TWebBrowser browser;
        browser.show();
        ASSERT_TRUE(view_test::RenderPieces(browser, {QString::fromUtf8(post)}, "post text"))
            << post;
        const QUrl shown = browser.engineView()->url();
        QTest::qWait(2000);  // past the refresh time
        EXPECT_TRUE(ShownHtml(browser).contains("post text about http-equiv")) << post;
        EXPECT_EQ(browser.engineView()->url(), shown) << post;
    }
}

TEST(NavigationPolicy, AllowsOnlyTheViewsOwnLoads) {
    const struct {
        const char* url;
        TNavigationKind kind;
        bool mainFrame;
        TNavigationVerdict verdict;
    } cases[] = {
        {"about:blank", TNavigationKind::Own, true, TNavigationVerdict::Allow},
        // Written pages need no load of their own any more.
        {"data:text/html;charset=UTF-8,%3Cp%3E", TNavigationKind::Own, true,
         TNavigationVerdict::Refuse},
        {"http://site/topic/2", TNavigationKind::Own, true, TNavigationVerdict::Refuse},
        {"data:text/html,x", TNavigationKind::Own, false, TNavigationVerdict::Refuse},
        {"http://site/people/1/", TNavigationKind::LinkClicked, true, TNavigationVerdict::OpenLink},
        {"https://site/a?b=c", TNavigationKind::LinkClicked, false, TNavigationVerdict::OpenLink},
        {"file:///etc/passwd", TNavigationKind::LinkClicked, true, TNavigationVerdict::Refuse},
        {"javascript:alert(1)", TNavigationKind::LinkClicked, true, TNavigationVerdict::Refuse},
        {"data:text/html,x", TNavigationKind::LinkClicked, true, TNavigationVerdict::Refuse},
        {"http://site/form", TNavigationKind::Other, true, TNavigationVerdict::Refuse},
        {"about:blank", TNavigationKind::Other, true, TNavigationVerdict::Refuse},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecideNavigation(QUrl(c.url), c.kind, c.mainFrame), c.verdict) << c.url;
    }
}

// A real click on a link inside the shown post: the address goes to the opener and the view
// keeps showing the post.
TEST(WebBrowser, AClickedLinkOpensOutsideAndTheViewStays) {
    TWebBrowser browser;
    QStringList opened;
    browser.OnOpenLink = [&](const QUrl& address) { opened.append(address.toString()); };
    browser.show();
    ASSERT_TRUE(view_test::RenderPieces(
        browser,
        {"<html><body style=\"margin:0\">"
         "<a id=\"a\" href=\"http://site.example/people/7/\" style=\"display:block;"
         "width:538px;height:489px\">the starter's page</a>"
         "<a href=\"http://site.example/x\" target=\"_blank\">new window</a>"
         "</body></html>"},
        "the starter's page"));
    const QUrl shown = browser.engineView()->url();
    QWidget* input = browser.engineView()->focusProxy();
    ASSERT_NE(input, nullptr);
    QTest::qWait(300);  // let the renderer lay the page out before clicking into it
    QTest::mouseClick(input, Qt::LeftButton, Qt::NoModifier, QPoint(200, 200));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !opened.isEmpty(); }, view_test::kViewWaitMs));
    EXPECT_EQ(opened, QStringList({"http://site.example/people/7/"}));
    QTest::qWait(200);
    EXPECT_EQ(browser.engineView()->url(), shown);
    EXPECT_TRUE(ShownHtml(browser).contains("the starter's page"));
}

}  // namespace
