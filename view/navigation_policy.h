#pragma once
// Which navigations the HTML view lets happen. The view only ever shows pages the program writes
// into it; posts are untrusted markup, so nothing inside them may move the view elsewhere.

#include <QUrl>

enum class TNavigationKind { Own, LinkClicked, Other };

enum class TNavigationVerdict {
    Allow,     // the program's own page load: let it happen
    OpenLink,  // a link the user clicked: hand it to the system browser, stay on the page
    Refuse,    // anything else (form posts, redirects, frames, reloads): stay on the page
};

// own: the view itself asked for this load (Navigate, or showing a written page).
TNavigationVerdict DecideNavigation(const QUrl& url, TNavigationKind kind, bool isMainFrame);

// Only web addresses are handed on; a post must not make the desktop open local files or
// arbitrary handlers.
bool IsOpenableLink(const QUrl& url);
