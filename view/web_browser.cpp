#include "view/web_browser.h"

#include <QDesktopServices>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <QWebEngineScript>
#include <utility>

#include "view/document_swap.h"
#include "view/markup_guard.h"
#include "view/navigation_policy.h"
#include "view/subresource_filter.h"

namespace {

// A written page holds one post, and a post is cut from one page body, which the HTTP client
// caps at 256 MiB; anything longer cannot be a post and is refused rather than handed on.
constexpr qsizetype kMaxPageChars = qsizetype{256} << 20;
// Each message to the engine carries at most this much of a page (see document_swap.h).
constexpr qsizetype kScriptChunkChars = qsizetype{1} << 20;

// The one page the view ever loads: the empty page, which grants no origin and no file access,
// so relative references in a post resolve to nothing. Written pages replace its document.
QUrl BlankPage() {
    return QUrl(QStringLiteral("about:blank"));
}

TNavigationKind KindOf(QWebEnginePage::NavigationType type) {
    switch (type) {
        case QWebEnginePage::NavigationTypeLinkClicked:
            return TNavigationKind::LinkClicked;
        case QWebEnginePage::NavigationTypeTyped:  // loads the program asked for itself
            return TNavigationKind::Own;
        default:
            return TNavigationKind::Other;
    }
}

}  // namespace

// Holds the markup written since the last Navigate; close() puts it on screen.
class TWebBrowser::WrittenPage : public THTMLDocument {
  public:
    explicit WrittenPage(TWebBrowser* owner) : owner_(owner) {}
    void write(const QString& markup) override {
        if (pending_.size() + markup.size() > kMaxPageChars) {
            throw EOleError("The page is too large for the HTML view");
        }
        pending_ += markup;
    }
    void close() override {
        owner_->showMarkup(pending_);
        pending_.clear();
    }

  private:
    TWebBrowser* owner_;
    QString pending_;
};

namespace {

// A link that asks for a new window ("_blank") is first given a page of its own: this one takes
// the link's navigation, treats it like any other clicked link and goes away.
class LinkCatcher : public QWebEnginePage {
  public:
    LinkCatcher(std::function<void(const QUrl&)>* open, QObject* parent)
        : QWebEnginePage(parent), open_(open) {}

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override {
        if (*open_ && IsOpenableLink(url)) {
            (*open_)(url);
        }
        deleteLater();
        return false;
    }

  private:
    std::function<void(const QUrl&)>* open_;
};

}  // namespace

// Decides every navigation of the shown page (see navigation_policy.h).
class TWebBrowser::Page : public QWebEnginePage {
  public:
    Page(TWebBrowser* owner, QObject* parent) : QWebEnginePage(parent), owner_(owner) {}

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        switch (DecideNavigation(url, KindOf(type), isMainFrame)) {
            case TNavigationVerdict::Allow:
                return true;
            case TNavigationVerdict::OpenLink:
                if (owner_->OnOpenLink) {
                    owner_->OnOpenLink(url);
                }
                return false;
            case TNavigationVerdict::Refuse:
                break;
        }
        return false;
    }

    QWebEnginePage* createWindow(WebWindowType) override {
        return new LinkCatcher(&owner_->OnOpenLink, this);
    }

  private:
    TWebBrowser* owner_;
};

TWebBrowser::TWebBrowser(QWidget* parent) : QWidget(parent) {
    OnOpenLink = [](const QUrl& address) { (void)QDesktopServices::openUrl(address); };
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    startEngine_.setSingleShot(true);
    startEngine_.setInterval(0);
    connect(&startEngine_, &QTimer::timeout, this, [this] {
        ensureView();
        loadBlank();
    });
}

void TWebBrowser::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    // Starting the engine takes a good part of a second: the window is painted without it first,
    // and the engine and its empty page come right after. (The software renderer draws into the
    // window's own kind of surface, so adding the view later does not make a new system window.)
    if (view_ == nullptr && !viewScheduled_) {
        viewScheduled_ = true;
        startEngine_.start();
    }
}

QWebEngineView* TWebBrowser::engineView() {
    ensureView();
    return view_;
}

void TWebBrowser::ensureView() {
    if (view_ != nullptr) {
        return;
    }
    view_ = new QWebEngineView(this);
    page_ = new Page(this, view_);
    // Made after the page, so freed after it: only pictures go to the network.
    page_->setUrlRequestInterceptor(new TSubresourceFilter(this));
    QWebEngineSettings* settings = page_->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
    settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    // Showing a post must not pull the keyboard away from the address box (arrow-key stepping).
    settings->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
    if (minimumTextPixels_ > 0) {
        settings->setFontSize(QWebEngineSettings::MinimumFontSize, minimumTextPixels_);
    }
    view_->setPage(page_);
    view_->setContextMenuPolicy(Qt::NoContextMenu);
    layout()->addWidget(view_);
    view_->show();

    // Written pages need the empty page in place; anything that starts another load (or a
    // renderer that died) means it has to be loaded again first.
    connect(page_, &QWebEnginePage::loadStarted, this, [this] { blankReady_ = false; });
    connect(page_, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        blankLoading_ = false;
        blankReady_ = ok && page_->url() == BlankPage();
        if (zoom_ > 0) {
            page_->setZoomFactor(zoom_);  // the engine resets the zoom when a page loads
        }
        if (blankReady_ && waiting_) {
            const QString markup = std::move(*waiting_);
            waiting_.reset();
            swapDocument(markup);
        }
    });
    connect(page_, &QWebEnginePage::renderProcessTerminated, this, [this] {
        blankReady_ = false;
        blankLoading_ = false;
    });
    if (zoom_ > 0) {
        page_->setZoomFactor(zoom_);
    }
}

TWebBrowser::~TWebBrowser() = default;

void TWebBrowser::setSize(int width, int height) {
    resize(width, height);
}

void TWebBrowser::Navigate(const QString& address) {
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty()) {
        throw EOleError("Invalid address: " + address.toStdString());
    }
    if (DecideNavigation(url, TNavigationKind::Own, true) != TNavigationVerdict::Allow) {
        throw EOleError("The HTML view only shows pages written into it");
    }
    ensureView();
    document_ = std::make_unique<WrittenPage>(this);
    // The empty page stays loaded between posts: resetting it means only that the next written
    // page replaces whatever is shown. It is loaded when it is not there yet.
    waiting_.reset();
    loadBlank();
}

void TWebBrowser::loadBlank() {
    if (!blankReady_ && !blankLoading_) {
        blankLoading_ = true;
        page_->setUrl(BlankPage());
    }
}

THTMLDocument* TWebBrowser::Document() {
    return document_.get();
}

void TWebBrowser::Refresh() {
    if (view_ != nullptr) {
        view_->update();
    }
}

void TWebBrowser::setZoom(double factor) {
    zoom_ = factor;
    if (page_ != nullptr) {
        page_->setZoomFactor(factor);
    }
}

double TWebBrowser::zoom() const {
    if (page_ != nullptr) {
        return page_->zoomFactor();
    }
    return zoom_ > 0 ? zoom_ : 1.0;
}

void TWebBrowser::setMinimumTextPixels(int pixels) {
    minimumTextPixels_ = pixels;
    if (page_ != nullptr) {
        page_->settings()->setFontSize(QWebEngineSettings::MinimumFontSize, pixels);
    }
}

void TWebBrowser::showMarkup(const QString& markup) {
    QString page = DisarmPosters(DisarmHttpEquiv(markup));
    if (!blankReady_) {
        waiting_ = std::move(page);  // shown once the empty page is in place
        return;
    }
    swapDocument(page);
}

void TWebBrowser::swapDocument(const QString& markup) {
    for (const QString& script : DocumentSwapScripts(markup, kScriptChunkChars)) {
        page_->runJavaScript(script, QWebEngineScript::ApplicationWorld);
    }
}
