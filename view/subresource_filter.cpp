#include "view/subresource_filter.h"

bool AllowsViewRequest(QWebEngineUrlRequestInfo::ResourceType type, const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("data") || scheme == QLatin1String("about")) {
        return true;
    }
    const bool web = scheme == QLatin1String("http") || scheme == QLatin1String("https");
    return web && type == QWebEngineUrlRequestInfo::ResourceTypeImage;
}

void TSubresourceFilter::interceptRequest(QWebEngineUrlRequestInfo& info) {
    if (!AllowsViewRequest(info.resourceType(), info.requestUrl())) {
        info.block(true);
    }
}

QString DisarmPosters(const QString& markup) {
    static const QString kName = QStringLiteral("poster");
    constexpr qsizetype kKept = 1;  // "p" | "o" | "ster"
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
        out += QStringView(markup).mid(from, at + kKept - from);
        out += markup.at(at + kKept) == QLatin1Char('o') ? QStringLiteral("&#111;")
                                                         : QStringLiteral("&#79;");
        from = at + kKept + 1;
    }
    if (from == 0) {
        return markup;
    }
    out += QStringView(markup).mid(from);
    return out;
}
