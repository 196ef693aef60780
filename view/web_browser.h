#pragma once
// The HTML view of the window: a web engine view that the program never browses with; it only
// writes one generated page at a time into it. The operations mirror the render sequence the
// window uses: size, Navigate("about:blank"), Document(), write, close, Refresh.
//
// Posts are untrusted markup: scripts do not run in the view, and a link clicked inside a post
// opens in the system browser while the view stays on the post.

#include <QString>
#include <QWidget>
#include <stdexcept>

// An error reported by the view; the message says what failed.
class EOleError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The page currently loaded in the view. write() collects markup, close() shows it.
class THTMLDocument {
public:
    virtual ~THTMLDocument() = default;
    virtual void write(const QString& markup) = 0;
    virtual void close() = 0;
};

class TWebBrowser : public QWidget {
    Q_OBJECT
public:
    explicit TWebBrowser(QWidget* parent = nullptr);
    ~TWebBrowser() override;

    void setSize(int width, int height);
    void Navigate(const QString& address);
    // The HTML document of the view, or nullptr when it has none.
    THTMLDocument* Document();
    // Redraws what is shown; never reloads (that would drop the written page).
    void Refresh();
};
