#pragma once
// The HTML view of the window: a web engine view that the program never browses with; it only
// writes one generated page at a time into it. The operations mirror the render sequence the
// window uses: size, Navigate("about:blank"), Document(), write, close, Refresh.
//
// Posts are untrusted markup: scripts and plugins do not run in the view, the page cannot reach
// local files, and a link clicked inside a post goes to OnOpenLink (the system browser unless the
// window routes it elsewhere) while the view stays on the post.

#include <QString>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

class QWebEngineView;

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
    // Resets the view to the given address; the program only ever passes "about:blank".
    void Navigate(const QString& address);
    // The HTML document of the view, or nullptr when it has none (before the first Navigate).
    THTMLDocument* Document();
    // Redraws what is shown; never reloads (that would drop the written page).
    void Refresh();

    // The view's zoom (1.0 is the page's own size); kept across the view's own page loads.
    void setZoom(double factor);
    double zoom() const;
    // No text of a page is shown smaller than this (0: the engine's own rule).
    void setMinimumTextPixels(int pixels);

    // Receives every web link the user clicks inside a page; the view itself stays put.
    std::function<void(const QUrl& address)> OnOpenLink;

    // The engine view inside, for tests that read the shown document back.
    QWebEngineView* engineView();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void ensureView();
    void loadBlank();
    class WrittenPage;
    class Page;
    void showMarkup(const QString& markup);
    void swapDocument(const QString& markup);

    QWebEngineView* view_ = nullptr;
    Page* page_ = nullptr;
    std::unique_ptr<WrittenPage> document_;
    // The empty page that written pages replace the document of: loaded, or on its way.
    bool blankReady_ = false;
    bool blankLoading_ = false;
    bool viewScheduled_ = false;  // the engine is started once the window has been painted
    QTimer startEngine_;
    // A page closed before the empty page was in place.
    std::optional<QString> waiting_;
    double zoom_ = 0;  // 0: never set, the engine's own
    int minimumTextPixels_ = 0;
};
