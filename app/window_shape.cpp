#include "app/window_shape.h"

#include <QList>
#include <QRect>

QImage BlendOver(const QImage& picture, QRgb under) {
    if (!picture.hasAlphaChannel()) {
        return picture;
    }
    // Straight alpha: the stored channels are the colour itself, not pre-multiplied by alpha.
    const QImage source = picture.convertToFormat(QImage::Format_ARGB32);
    QImage canvas(source.size(), QImage::Format_RGB32);
    const int dr = qRed(under);
    const int dg = qGreen(under);
    const int db = qBlue(under);
    for (int y = 0; y < source.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(canvas.scanLine(y));
        for (int x = 0; x < source.width(); ++x) {
            const int a = qAlpha(in[x]);
            out[x] = qRgb(BlendChannel(qRed(in[x]), a, dr), BlendChannel(qGreen(in[x]), a, dg),
                          BlendChannel(qBlue(in[x]), a, db));
        }
    }
    return canvas;
}

QRegion OpaqueRegion(const QImage& face, QRgb key) {
    const QImage rgb = face.convertToFormat(QImage::Format_RGB32);
    const QRgb cut = key | 0xFF000000u;
    // Row by row, the runs of pixels that are not the key; rows come in order and runs of one
    // row never overlap, which is the banded form the region takes as it is.
    QList<QRect> runs;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        int x = 0;
        while (x < rgb.width()) {
            while (x < rgb.width() && (line[x] | 0xFF000000u) == cut) {
                ++x;
            }
            const int start = x;
            while (x < rgb.width() && (line[x] | 0xFF000000u) != cut) {
                ++x;
            }
            if (x > start) {
                runs.append(QRect(start, y, x - start, 1));
            }
        }
    }
    QRegion region;
    region.setRects(runs.constData(), static_cast<int>(runs.size()));
    return region;
}
