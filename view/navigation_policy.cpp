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
            // A written page arrives as a data: load with the empty page as its base; the
            // reset goes to about:blank. Nothing else is ever loaded on purpose.
            const QString scheme = url.scheme().toLower();
            const bool ownScheme = scheme == "data" || url.toString() == "about:blank";
            return isMainFrame && ownScheme ? TNavigationVerdict::Allow
                                            : TNavigationVerdict::Refuse;
        }
        case TNavigationKind::Other:
            break;
    }
    return TNavigationVerdict::Refuse;
}
