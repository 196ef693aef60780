// Posts are untrusted markup. Written into the view through the adapter, exactly as the window
// renders a post, none of a script, an event-handler attribute or a meta refresh may take
// effect, and a clicked link leaves through the opener while the view stays on the post.
#include <gtest/gtest.h>

#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "tests/view/view_rendering.h"
#include "view/web_browser.h"

namespace {

using view_test::RenderPost;
using view_test::ShownHtml;

// Long enough for a refresh of 0 or 1 s, a failing image's onerror, or an onload to have fired.
constexpr int kSettleMs = 2500;

struct InertRow {
    const char* name;
    const char* post;
};

// Each post marks the page ("PWNED") or moves the view if its active part ever runs.
const InertRow kInertRows[] = {
    {"Script",
     "<p id=\"m\">post text</p><script>document.title='PWNED';"
     "document.getElementById('m').textContent='PWNED';</script>"},
    {"ImgOnerror",
     "<p id=\"m\">post text</p><img src=\"data:image/png;base64,broken\" "
     "onerror=\"document.title='PWNED';document.body.innerHTML='PWNED'\">"},
    {"ImgOnload",
     "<p id=\"m\">post text</p><img src=\"data:image/gif;base64,"
     "R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7\" "
     "onload=\"document.title='PWNED';document.body.innerHTML='PWNED'\">"},
    {"BodyOnloadInPost",
     "<body onload=\"document.title='PWNED'\"><p id=\"m\">post text</p></body>"},
    {"MetaRefreshToData",
     "<meta http-equiv=\"refresh\" content=\"0;url=data:text/html,<title>PWNED</title>PWNED\">"
     "<p id=\"m\">post text</p>"},
    {"JavascriptUrlIframe",
     "<p id=\"m\">post text</p><iframe src=\"javascript:parent.document.title='PWNED'\"></iframe>"},
    {"AutofocusOnfocus",
     "<p id=\"m\">post text</p><input autofocus onfocus=\"document.title='PWNED'\">"},
    // Refreshes to about: pages never pass the navigation check (the engine commits them on its
    // own), so the view must disarm them in the markup itself.
    {"MetaRefreshToAboutPage",
     "<meta http-equiv=\"refresh\" content=\"1;url=about:blank#PWNED\"><p id=\"m\">post text</p>"},
    {"MetaRefreshReload", "<meta http-equiv=\"refresh\" content=\"0\"><p id=\"m\">post text</p>"},
};

class SafeView : public ::testing::TestWithParam<InertRow> {};

TEST_P(SafeView, ActiveMarkupInAPostTakesNoEffect) {
    TWebBrowser view;
    view.show();
    ASSERT_TRUE(RenderPost(view, GetParam().post, "post text"))
        << "shown instead: " << ShownHtml(view).toStdString() << " at "
        << view.engineView()->url().toString().left(200).toStdString();
    const QUrl shownUrl = view.engineView()->url();
    QTest::qWait(kSettleMs);
    const QString html = ShownHtml(view);
    EXPECT_TRUE(html.contains("post text")) << html.toStdString();
    EXPECT_NE(view.engineView()->title(), "PWNED");
    EXPECT_EQ(view.engineView()->url(), shownUrl) << "the post moved the view";
}

INSTANTIATE_TEST_SUITE_P(Rows, SafeView, ::testing::ValuesIn(kInertRows),
                         [](const auto& info) { return std::string(info.param.name); });

// A click on a link inside a post goes to the opener (the system browser) and the view stays;
// links to local files or script addresses are not handed on at all.
TEST(SafeViewLinks, ClickedLinkOpensThroughTheSeamAndTheViewStays) {
    struct Case {
        const char* href;
        bool handedOn;
    };
    const Case cases[] = {
        {"http://site.example/people/7/", true},
        {"file:///etc/passwd", false},
        {"javascript:document.title='PWNED'", false},
    };
    for (const Case& c : cases) {
        TWebBrowser view;
        QStringList opened;
        view.OnOpenLink = [&](const QUrl& address) { opened.append(address.toString()); };
        view.show();
        const QString post = QString(
                                 "<a href=\"%1\" style=\"display:block;width:538px;"
                                 "height:489px\">link text</a>")
                                 .arg(c.href);
        ASSERT_TRUE(RenderPost(view, post, "link text")) << c.href;
        const QUrl shownUrl = view.engineView()->url();
        QWidget* input = view.engineView()->focusProxy();
        ASSERT_NE(input, nullptr);
        QTest::qWait(300);  // let the renderer lay the page out before clicking into it
        QTest::mouseClick(input, Qt::LeftButton, Qt::NoModifier, QPoint(200, 200));
        if (c.handedOn) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return !opened.isEmpty(); }, view_test::kViewWaitMs));
            EXPECT_EQ(opened, QStringList({c.href}));
        } else {
            QTest::qWait(1000);
            EXPECT_TRUE(opened.isEmpty()) << c.href;
        }
        QTest::qWait(300);
        EXPECT_EQ(view.engineView()->url(), shownUrl) << c.href;
        EXPECT_NE(view.engineView()->title(), "PWNED");
        EXPECT_TRUE(ShownHtml(view).contains("link text"));
    }
}

}  // namespace
