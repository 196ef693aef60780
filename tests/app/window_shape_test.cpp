// The blend of the background over the key grey, and the shape that follows from it.
#include <gtest/gtest.h>

#include <QImage>

#include "app/window_shape.h"

namespace {

struct BlendCase {
    int s, a, d, expected;
    const char* why;
};

TEST(BlendChannel, FollowsTheFormulaAtTheEdges) {
    const BlendCase cases[] = {
        {129, 255, 128, 128, "opaque 129 over the key lands on the key: a hole"},
        {127, 255, 128, 127, "opaque 127 stays 127: drawn"},
        {128, 255, 128, 128, "opaque key grey stays the key"},
        {255, 255, 128, 254, "opaque white comes out one step below"},
        {255, 255, 255, 255, "opaque over a canvas at least as bright keeps its value"},
        {0, 255, 128, 0, "opaque black"},
        {255, 0, 128, 128, "alpha 0 leaves the canvas untouched"},
        {0, 0, 128, 128, "alpha 0, any colour"},
        {255, 128, 128, 191, "half alpha white: (255*128 + 128*128) / 256"},
        {0, 128, 128, 64, "half alpha black"},
        {255, 1, 128, 128, "alpha 1 white still rounds down onto the key"},
        {255, 2, 128, 128, "alpha 2 white: 33023/256"},
        {255, 3, 128, 129, "alpha 3 white leaves the key"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BlendChannel(c.s, c.a, c.d), c.expected) << c.why;
    }
}

TEST(BlendOver, BlendsEveryChannelAndLeavesOpaquePicturesAlone) {
    QImage picture(3, 1, QImage::Format_ARGB32);
    picture.setPixel(0, 0, qRgba(129, 129, 129, 255));
    picture.setPixel(1, 0, qRgba(255, 0, 127, 128));
    picture.setPixel(2, 0, qRgba(10, 20, 30, 0));
    const QImage face = BlendOver(picture, kWindowKeyColour);
    EXPECT_EQ(face.format(), QImage::Format_RGB32);
    EXPECT_EQ(face.pixel(0, 0) & 0xFFFFFF, 0x808080u);
    EXPECT_EQ(face.pixel(1, 0) & 0xFFFFFF, (191u << 16) | (64u << 8) | 127u);
    EXPECT_EQ(face.pixel(2, 0) & 0xFFFFFF, 0x808080u);

    QImage opaque(2, 2, QImage::Format_RGB32);
    opaque.fill(qRgb(129, 129, 129));
    EXPECT_EQ(BlendOver(opaque, kWindowKeyColour), opaque) << "pictures without alpha are copied";
}

TEST(OpaqueRegion, CutsOutExactlyTheKeyColour) {
    QImage face(4, 1, QImage::Format_RGB32);
    face.setPixel(0, 0, qRgb(128, 128, 128));
    face.setPixel(1, 0, qRgb(127, 127, 127));
    face.setPixel(2, 0, qRgb(128, 128, 129));
    face.setPixel(3, 0, qRgb(128, 128, 128));
    const QRegion region = OpaqueRegion(face, kWindowKeyColour);
    EXPECT_FALSE(region.contains(QPoint(0, 0)));
    EXPECT_TRUE(region.contains(QPoint(1, 0)));
    EXPECT_TRUE(region.contains(QPoint(2, 0))) << "a near miss of the key stays drawn";
    EXPECT_FALSE(region.contains(QPoint(3, 0)));
}

// The shipped background: holes only in the four corner cut-outs, a few pixels deep; the body
// keeps no pin-holes even where anti-aliased text or lines pass through the hole greys.
TEST(Background, HolesOnlyInTheFourCorners) {
    const QImage background(QStringLiteral(":/art/background.png"));
    ASSERT_EQ(background.size(), QSize(670, 730));
    ASSERT_TRUE(background.hasAlphaChannel());
    const QImage face = BlendOver(background, kWindowKeyColour);
    const QRegion shape = OpaqueRegion(face, kWindowKeyColour);
    constexpr int kCornerDepth = 12;
    int holes = 0;
    for (int y = 0; y < face.height(); ++y) {
        for (int x = 0; x < face.width(); ++x) {
            if (shape.contains(QPoint(x, y))) {
                continue;
            }
            ++holes;
            const bool nearLeftOrRight = x < kCornerDepth || x >= face.width() - kCornerDepth;
            const bool nearTopOrBottom = y < kCornerDepth || y >= face.height() - kCornerDepth;
            ASSERT_TRUE(nearLeftOrRight && nearTopOrBottom) << "hole at " << x << "," << y;
        }
    }
    EXPECT_GT(holes, 4 * 4);
    for (const QPoint corner : {QPoint(0, 0), QPoint(669, 0), QPoint(0, 729), QPoint(669, 729)}) {
        EXPECT_FALSE(shape.contains(corner));
        EXPECT_EQ(qAlpha(background.pixel(corner)), 0);
    }
    // Partial alpha on the anti-aliased corner curves, opaque everywhere else.
    int partial = 0;
    for (int y = 0; y < background.height(); ++y) {
        for (int x = 0; x < background.width(); ++x) {
            const int a = qAlpha(background.pixel(x, y));
            partial += (a > 0 && a < 255) ? 1 : 0;
        }
    }
    EXPECT_GT(partial, 0);
    EXPECT_EQ(qAlpha(background.pixel(335, 365)), 255);
}

}  // namespace
