#include "view/document_swap.h"

#include <algorithm>

namespace {

// The isolated world's global that collects the pieces of one page until the last one arrives.
// Every page starts it afresh, so a page whose scripts were cut short leaves nothing behind.
const QString kPieces = QStringLiteral("window.__tovalinPieces");

// Parses the whole page, puts its root in place of the shown one and starts at the top.
const QString kSwap = QStringLiteral(
    "(function () {"
    "  var markup = %1.join('');"
    "  delete %1;"
    "  var parsed = new DOMParser().parseFromString(markup, 'text/html');"
    "  var root = document.adoptNode(parsed.documentElement);"
    "  if (document.documentElement) {"
    "    document.replaceChild(root, document.documentElement);"
    "  } else {"
    "    document.appendChild(root);"
    "  }"
    "  window.scrollTo(0, 0);"
    "})();");

}  // namespace

QString JavaScriptStringLiteral(QStringView text) {
    QString out;
    out.reserve(text.size() + text.size() / 8 + 2);
    out += u'"';
    for (const QChar c : text) {
        switch (c.unicode()) {
            case u'"':
                out += QStringLiteral("\\\"");
                break;
            case u'\\':
                out += QStringLiteral("\\\\");
                break;
            case u'\n':
                out += QStringLiteral("\\n");
                break;
            case u'\r':
                out += QStringLiteral("\\r");
                break;
            case 0x2028:  // line and paragraph separators end a line in older script grammars
                out += QStringLiteral("\\u2028");
                break;
            case 0x2029:
                out += QStringLiteral("\\u2029");
                break;
            default:
                if (c.unicode() < 0x20) {
                    out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar(u'0'));
                } else {
                    out += c;
                }
        }
    }
    out += u'"';
    return out;
}

QStringList DocumentSwapScripts(const QString& markup, qsizetype chunkChars) {
    QStringList scripts;
    const qsizetype step = chunkChars > 0 ? chunkChars : markup.size() + 1;
    qsizetype from = 0;
    do {
        qsizetype size = std::min(step, markup.size() - from);
        // Never split a surrogate pair between two literals: each half alone is no character.
        if (from + size < markup.size() && size > 1 &&
            markup.at(from + size - 1).isHighSurrogate()) {
            --size;
        }
        const QString piece = JavaScriptStringLiteral(QStringView(markup).mid(from, size));
        scripts.append(from == 0
                           ? kPieces + QStringLiteral(" = [") + piece + QStringLiteral("];")
                           : kPieces + QStringLiteral(".push(") + piece + QStringLiteral(");"));
        from += size;
    } while (from < markup.size());
    scripts.last() += kSwap.arg(kPieces);
    return scripts;
}
