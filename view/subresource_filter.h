#pragma once
// What the HTML view may fetch while it shows a post. Posts are untrusted markup, and of all the
// things a page can ask the network for, only pictures are a post's content: stylesheets and their
// imports, web fonts, video and audio, prefetches, icons, frames, plugin data and pings would only
// tell a remote host that the post is being read (or load code and layout the reader never asked
// for). Everything else is refused before a request is made; the written page itself and inline
// data addresses never leave the process and pass.

#include <QString>
#include <QUrl>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>

// True when the view may make this request: pictures from the web, and anything that stays in
// the process (data: and about: addresses).
bool AllowsViewRequest(QWebEngineUrlRequestInfo::ResourceType type, const QUrl& url);

// Blocks every request of the page it is installed on that AllowsViewRequest refuses.
class TSubresourceFilter : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
  public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;
};

// A video's poster is fetched as a picture, so the filter cannot tell it from one; with the video
// itself refused it would be the only part of the video that loads. Every "poster" (any letter
// case) becomes "p&#111;ster": as an attribute name that is no longer poster (names are never
// entity-decoded), while in text and attribute values the reference decodes back, so what the
// reader sees and every address stay as written. (Inside a post's own <style> block, which is
// never decoded, a word "poster" is lost to the style.)
QString DisarmPosters(const QString& markup);
