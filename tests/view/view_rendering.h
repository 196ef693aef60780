#pragma once
// The HTML view as the view tests drive it: the window's render sequence, and the document the
// view shows, read back from the engine.

#include <QString>
#include <QStringList>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "view/web_browser.h"

namespace view_test {

// A generous bound for the engine's first start on a loaded machine.
constexpr int kViewWaitMs = 15000;

// The document the view shows now, serialised by the engine; "" when the engine does not answer
// in time, which fails the caller's check.
inline QString ShownHtml(TWebBrowser& view) {
    QString html;
    bool done = false;
    view.engineView()->page()->toHtml([&](const QString& result) {
        html = result;
        done = true;
    });
    (void)QTest::qWaitFor([&] { return done; }, kViewWaitMs);
    return html;
}

// The render sequence the window uses (size, Navigate, write each piece, close, Refresh), then a
// wait until the view shows `expected`.
inline bool RenderPieces(TWebBrowser& view, const QStringList& pieces, const QString& expected) {
    view.setSize(538, 489);
    view.Navigate("about:blank");
    THTMLDocument* document = view.Document();
    if (document == nullptr) {
        return false;
    }
    for (const QString& piece : pieces) {
        document->write(piece);
    }
    document->close();
    view.Refresh();
    return QTest::qWaitFor([&] { return ShownHtml(view).contains(expected); }, kViewWaitMs);
}

// The same with the window's fixed wrapper around a post.
inline bool RenderPost(TWebBrowser& view, const QString& post, const QString& shown) {
    return RenderPieces(view,
                        {"<html><body style=\"border:0px;overflow:auto;\"><div "
                         "style=\"font-size:11px\">" +
                         post + "</div></body></html>"},
                        shown);
}

}  // namespace view_test
