#include "view/web_browser.h"

#include <QDesktopServices>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "view/markup_guard.h"
#include "view/navigation_policy.h"
#include "view/subresource_filter.h"

namespace {

// The engine shows written markup through a data: address, which it caps at 2 MB of encoded
// text; a larger page would silently show nothing, so it is refused with an error instead.
constexpr qsizetype kMaxPageBytes = 2 * 1024 * 1024 - 64 * 1024;

// The base of every written page: the empty page, which grants no origin and no file access, so
// relative references in a post resolve to nothing.
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
        if (pending_.size() + markup.size() > kMaxPageBytes) {
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
    view_->setPage(page_);
    view_->setContextMenuPolicy(Qt::NoContextMenu);
    layout->addWidget(view_);
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
    document_ = std::make_unique<WrittenPage>(this);
    page_->setUrl(url);
}

THTMLDocument* TWebBrowser::Document() {
    return document_.get();
}

void TWebBrowser::Refresh() {
    view_->update();
}

void TWebBrowser::showMarkup(const QString& markup) {
    const QString page = DisarmPosters(DisarmHttpEquiv(markup));
    if (page.toUtf8().toPercentEncoding().size() > kMaxPageBytes) {
        throw EOleError("The page is too large for the HTML view");
    }
    page_->setHtml(page, BlankPage());
}
