// Draws the window's nine pictures and the application icon. Sizes and depths are fixed by the
// window: the background is 32-bit with straight alpha, the close and minimise tiles 24-bit, the
// stepping chevrons 8-bit with a palette, the icon 32-bit. PNG keeps each of those depths.
//
// Usage: tovalin-artwork [output folder]   (default: the source tree's app/art)

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <functional>

namespace {

constexpr int kWidth = 670;
constexpr int kHeight = 730;
constexpr int kHeaderHeight = 80;
constexpr qreal kCornerRadius = 10.0;
constexpr int kKeyGrey = 128;

const QColor kOutline(0x3a, 0x3a, 0x3a);
const QColor kGreyMark(0x8c, 0x8c, 0x8c);
const QColor kLightChevron(0xc8, 0xc8, 0xc8);
const QColor kOrange(0xf5, 0x8a, 0x1f);

QFont UiFont(int pixelSize, bool bold = false) {
    QFont font;
    font.setFamilies(
        {"WenQuanYi Micro Hei", "Noto Sans CJK SC", "Droid Sans Fallback", "DejaVu Sans"});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

// The header band: light at the top, a mid grey at its foot. Shared by the background and the
// close/minimise tiles so the tiles continue it seamlessly.
QLinearGradient HeaderGradient(qreal offsetY) {
    QLinearGradient gradient(0, -offsetY, 0, kHeaderHeight - offsetY);
    gradient.setColorAt(0.0, QColor(0xfa, 0xfa, 0xfa));
    gradient.setColorAt(0.55, QColor(0xe6, 0xe6, 0xe6));
    gradient.setColorAt(1.0, QColor(0xc9, 0xc9, 0xc9));
    return gradient;
}

QPainterPath Chevron(QRectF box, bool pointsRight) {
    const qreal x0 = pointsRight ? box.left() : box.right();
    const qreal x1 = pointsRight ? box.right() : box.left();
    QPainterPath path;
    path.moveTo(x0, box.top());
    path.lineTo(x1, box.center().y());
    path.lineTo(x0, box.bottom());
    return path;
}

// Blending an opaque pixel of grey 128 or 129 over the key grey gives the key itself, which
// would punch a pin-hole into the window. Anti-aliased text and lines can land there, so nudge
// such body pixels one step brighter than the hole band.
void KeepBodyOpaque(QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            if (qAlpha(p) != 255) {
                continue;
            }
            const bool hole = (qRed(p) == kKeyGrey || qRed(p) == kKeyGrey + 1) &&
                              (qGreen(p) == kKeyGrey || qGreen(p) == kKeyGrey + 1) &&
                              (qBlue(p) == kKeyGrey || qBlue(p) == kKeyGrey + 1);
            if (hole) {
                line[x] = qRgba(kKeyGrey + 2, kKeyGrey + 2, kKeyGrey + 2, 255);
            }
        }
    }
}

QImage Background() {
    QImage canvas(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QPainterPath body;
    body.addRoundedRect(QRectF(0, 0, kWidth, kHeight), kCornerRadius, kCornerRadius);
    p.fillPath(body, Qt::white);
    p.save();
    p.setClipPath(body);
    p.fillRect(QRectF(0, 0, kWidth, kHeaderHeight), HeaderGradient(0));
    p.setPen(QColor(0xb4, 0xb4, 0xb4));
    p.drawLine(QPointF(0, kHeaderHeight - 0.5), QPointF(kWidth, kHeaderHeight - 0.5));

    // Title at the left of the header.
    p.setPen(QColor(0x33, 0x33, 0x33));
    p.setFont(UiFont(30, true));
    p.drawText(QRectF(28, 12, 400, 56), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8("Tovalin 澜页"));

    // The address row: caption, a quiet frame round the box (x 144-664, y 98-122), dotted rule.
    p.setFont(UiFont(15));
    p.setPen(QColor(0x44, 0x44, 0x44));
    p.drawText(QRectF(16, 98, 124, 25), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8("帖子地址："));
    p.setPen(QColor(0xd6, 0xd6, 0xd6));
    p.setRenderHint(QPainter::Antialiasing, false);
    p.drawRect(143, 97, 522, 26);
    QPen dots(QColor(0xa0, 0xa0, 0xa0));
    dots.setStyle(Qt::DotLine);
    p.setPen(dots);
    p.drawLine(16, 134, kWidth - 16, 134);
    p.setRenderHint(QPainter::Antialiasing, true);

    // Faint chevrons behind the stepping buttons.
    QPen faint(QColor(0xee, 0xee, 0xee), 10, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(faint);
    p.drawPath(Chevron(QRectF(22, 350, 30, 76), false));
    p.drawPath(Chevron(QRectF(617, 342, 30, 76), true));

    // A hairline above the ticker row.
    p.setPen(QColor(0xe2, 0xe2, 0xe2));
    p.drawLine(QPointF(12, 704.5), QPointF(kWidth - 12, 704.5));
    p.restore();

    // The thin dark outline, drawn last so it stays crisp on the straight edges.
    p.setPen(QPen(kOutline, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(0.5, 0.5, kWidth - 1, kHeight - 1), kCornerRadius - 0.5,
                      kCornerRadius - 0.5);
    p.end();

    QImage straight = canvas.convertToFormat(QImage::Format_ARGB32);
    KeepBodyOpaque(straight);
    return straight;
}

// Close and minimise tiles sit at y 9 of the header.
constexpr qreal kTileTop = 9;

QImage HeaderTile(bool hover, const std::function<void(QPainter&)>& mark) {
    QImage tile(56, 65, QImage::Format_RGB32);
    QPainter p(&tile);
    p.fillRect(tile.rect(), HeaderGradient(kTileTop));
    p.setRenderHint(QPainter::Antialiasing);
    if (hover) {
        p.setPen(QPen(QColor(0x9a, 0x9a, 0x9a), 1));
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(8.5, 12.5, 39, 39), 6, 6);
    }
    mark(p);
    p.end();
    return tile;
}

void Cross(QPainter& p) {
    p.setPen(QPen(kGreyMark.darker(130), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(21, 25), QPointF(35, 39));
    p.drawLine(QPointF(35, 25), QPointF(21, 39));
}

void Bar(QPainter& p) {
    p.setPen(QPen(kGreyMark.darker(130), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(21, 38), QPointF(35, 38));
}

QImage ChevronButton(bool pointsRight, const QColor& colour) {
    QImage tile(69, 120, QImage::Format_RGB32);
    tile.fill(Qt::white);
    QPainter p(&tile);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour, 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(Chevron(QRectF(24, 28, 22, 64), pointsRight));
    p.end();
    QImage indexed = tile.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    // A full 256-colour palette, as the window's 8-bit pictures carry; unused entries are white.
    QList<QRgb> palette = indexed.colorTable();
    while (palette.size() < 256) {
        palette.append(qRgb(255, 255, 255));
    }
    indexed.setColorTable(palette);
    return indexed;
}

QImage Icon() {
    QImage icon(48, 48, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient shade(0, 0, 0, 48);
    shade.setColorAt(0, QColor(0xfb, 0xa4, 0x4c));
    shade.setColorAt(1, kOrange.darker(115));
    p.setPen(QPen(kOutline, 1));
    p.setBrush(shade);
    p.drawRoundedRect(QRectF(1.5, 1.5, 45, 45), 9, 9);
    p.setPen(Qt::white);
    p.setFont(UiFont(30, true));
    p.drawText(QRectF(0, 0, 48, 46), Qt::AlignCenter, QString::fromUtf8("澜"));
    p.end();
    return icon.convertToFormat(QImage::Format_ARGB32);
}

bool Save(const QImage& image, const QDir& folder, const char* name) {
    const QString path = folder.filePath(QString::fromLatin1(name));
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "tovalin-artwork: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s %dx%d\n", qPrintable(path), image.width(), image.height());
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");  // drawing only: no display needed
    }
    QGuiApplication app(argc, argv);
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(TOVALIN_ART_DIR));
    if (!folder.exists() && !QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "tovalin-artwork: cannot create %s\n", qPrintable(folder.path()));
        return 1;
    }
    bool ok = Save(Background(), folder, "background.png");
    ok = Save(HeaderTile(false, Cross), folder, "close_normal.png") && ok;
    ok = Save(HeaderTile(true, Cross), folder, "close_over.png") && ok;
    ok = Save(HeaderTile(false, Bar), folder, "min_normal.png") && ok;
    ok = Save(HeaderTile(true, Bar), folder, "min_over.png") && ok;
    ok = Save(ChevronButton(true, kLightChevron), folder, "next_normal.png") && ok;
    ok = Save(ChevronButton(true, kOrange), folder, "next_over.png") && ok;
    ok = Save(ChevronButton(false, kLightChevron), folder, "previous_normal.png") && ok;
    ok = Save(ChevronButton(false, kOrange), folder, "previous_over.png") && ok;
    ok = Save(Icon(), folder, "icon.png") && ok;
    return ok ? 0 : 1;
}
