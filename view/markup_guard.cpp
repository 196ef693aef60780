#include "view/markup_guard.h"

QString DisarmHttpEquiv(const QString& markup) {
    static const QString kName = QStringLiteral("http-equiv");
    constexpr qsizetype kHyphen = 4;  // "http" | "-" | "equiv"
    QString out;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = markup.indexOf(kName, from, Qt::CaseInsensitive);
        if (at < 0) {
            break;
        }
        if (out.isEmpty()) {
            out.reserve(markup.size() + 16);
        }
        out += QStringView(markup).mid(from, at + kHyphen - from);
        out += QStringLiteral("&#45;");
        from = at + kHyphen + 1;
    }
    if (from == 0) {
        return markup;
    }
    out += QStringView(markup).mid(from);
    return out;
}
