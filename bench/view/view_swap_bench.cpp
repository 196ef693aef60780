// bench-view-swap: the time from writing a page into the view until the view's document holds
// it, for the adapter's render sequence (document replaced in place) and for a page load per
// post (setHtml, the way the view worked before). Both run in the same process, one after the
// other, so a busy machine slows both alike. Prints the median and the 95th percentile of each.
//
//   bench-view-swap [POSTS] [POST_CHARS]     (defaults: 40 posts of 1,600 characters)
//
// The old way runs in a bare engine view (the adapter no longer allows data: loads).
// "Holds it" is read back from the page (a script in the program's isolated world reads a marker
// the post carries), so each figure includes one round trip to the renderer; paint comes after.

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "view/web_browser.h"
#include "view/web_view_process.h"

namespace {

constexpr int kDefaultPosts = 40;
constexpr int kDefaultPostChars = 1600;
constexpr int kWaitMs = 30000;

QString Post(int k, int chars) {
    QString text = QStringLiteral("<p id=\"m%1\">").arg(k);
    const QString sentence = QString::fromUtf8("楼主的帖子，一句一句地写下去。");
    while (text.size() < chars) {
        text += sentence;
    }
    return text + QStringLiteral("</p>");
}

// Polls the page until its document has element #m<k>; the milliseconds since `clock` started.
double WaitForMarker(QWebEnginePage* page, int k, const QElapsedTimer& clock) {
    const QString probe = QStringLiteral("!!document.getElementById('m%1')").arg(k);
    for (;;) {
        bool done = false;
        bool found = false;
        page->runJavaScript(probe, QWebEngineScript::ApplicationWorld, [&](const QVariant& result) {
            found = result.toBool();
            done = true;
        });
        while (!done && clock.elapsed() < kWaitMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        if (found || clock.elapsed() >= kWaitMs) {
            return static_cast<double>(clock.nsecsElapsed()) / 1e6;
        }
    }
}

void Report(const char* name, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    const double median =
        ms.size() % 2 != 0 ? ms[ms.size() / 2] : (ms[ms.size() / 2 - 1] + ms[ms.size() / 2]) / 2;
    const std::size_t p95 = std::min(ms.size() - 1, (ms.size() * 95 + 99) / 100 - 1);
    std::printf("| %s | %.1f ms | %.1f ms | %.1f–%.1f ms |\n", name, median, ms[p95], ms.front(),
                ms.back());
}

}  // namespace

int main(int argc, char** argv) {
    PrepareWebViewProcess();
    QApplication app(argc, argv);
    const int posts = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultPosts;
    const int chars = argc > 2 ? std::max(16, std::atoi(argv[2])) : kDefaultPostChars;

    TWebBrowser browser;
    browser.setSize(538, 489);
    browser.show();
    QWebEnginePage* page = browser.engineView()->page();
    const QString wrapper = QStringLiteral(
        "<html><body style=\"border:0px;overflow:auto;\"><div style=\"font-size:11px\">");
    const QString closing = QStringLiteral("</div></body></html>");

    // The first page starts the engine; it is not counted.
    std::vector<double> swap;
    for (int k = -1; k < posts; ++k) {
        QElapsedTimer clock;
        clock.start();
        browser.Navigate(QStringLiteral("about:blank"));
        browser.Document()->write(wrapper + Post(k + 1, chars) + closing);
        browser.Document()->close();
        browser.Refresh();
        const double ms = WaitForMarker(page, k + 1, clock);
        if (k >= 0) {
            swap.push_back(ms);
        }
    }
    // The adapter refuses data: loads now, so the old way runs in a bare view of the same size
    // with page scripts off, as the adapter's view was.
    QWebEngineView bare;
    bare.resize(538, 489);
    bare.page()->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    bare.show();
    std::vector<double> load;
    for (int k = -1; k < posts; ++k) {
        QElapsedTimer clock;
        clock.start();
        bare.page()->setHtml(wrapper + Post(1000 + k + 1, chars) + closing, QUrl("about:blank"));
        const double ms = WaitForMarker(bare.page(), 1000 + k + 1, clock);
        if (k >= 0) {
            load.push_back(ms);
        }
    }
    std::printf("| way (%d posts of %d characters) | median | 95th percentile | range |\n", posts,
                chars);
    std::printf("|---|---|---|---|\n");
    Report("document replaced in place (the adapter)", swap);
    Report("page load per post (setHtml)", load);
    std::fflush(stdout);
    return 0;
}
