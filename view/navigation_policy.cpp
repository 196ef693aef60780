#include "view/navigation_policy.h"

bool IsOpenableLink(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == "http" || scheme == "https");
}

TNavigationVerdict DecideNavigation(const QUrl& url, TNavigationKind kind, bool isMainFrame) {
    switch (kind) {
        case TNavigationKind::LinkClicked:
            return IsOpenableLink(url) ? TNavigationVerdict::OpenLink : TNavigationVerdict::Refuse;
        case TNavigationKind::Own: {
            // The view loads the empty page and nothing else: written pages replace that page's
            // document without a load of their own.
            return isMainFrame && url.toString() == "about:blank" ? TNavigationVerdict::Allow
                                                                  : TNavigationVerdict::Refuse;
        }
        case TNavigationKind::Other:
            break;
    }
    return TNavigationVerdict::Refuse;
}
