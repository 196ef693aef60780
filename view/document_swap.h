#pragma once
// Showing a written page without a navigation: the view stays on its one empty page and a script
// run in the program's own isolated world replaces that page's document with the written markup.
// A navigation per post costs tens of milliseconds and a data: address caps the page at 2 MB;
// replacing the document costs a millisecond or two at any size.
//
// The markup is parsed by a DOMParser, whose documents never run scripts, and the parsed root
// replaces the shown root. Page scripts stay off in the main world, so event-handler attributes
// stay inert too; the view's navigation policy still decides every link.

#include <QString>
#include <QStringList>

// The scripts that put `markup` on the page, to run in order in the isolated world. The markup
// travels as string literals of at most `chunkChars` characters each, so no single message to
// the engine grows with the page.
QStringList DocumentSwapScripts(const QString& markup, qsizetype chunkChars);

// `text` as a JavaScript string literal, quotes included.
QString JavaScriptStringLiteral(QStringView text);
