#pragma once
// How the window's face becomes its shape. The window is filled with the key grey, the
// background picture is blended over it with its straight alpha, and every pixel that ends up
// exactly in the key colour is cut out of the window: not drawn, and clicks there fall through
// to whatever lies below.

#include <QImage>
#include <QRegion>
#include <QRgb>
#include <cstdint>

// The window's own colour and its transparent key: grey 128, 128, 128.
inline constexpr QRgb kWindowKeyColour = 0xFF808080u;

// One channel of a picture pixel (s, straight alpha a) drawn over a canvas channel d:
// floor((s * a + d * (256 - a)) / 256). Note the 256: an opaque pixel comes out one step below
// its own value unless the canvas is at least as bright, which is what decides whether a 129
// grey over the key becomes a hole (it does) and a 127 grey stays drawn (it does).
constexpr std::uint8_t BlendChannel(int s, int a, int d) {
    return static_cast<std::uint8_t>(((s - d) * a + d * 256) >> 8);
}

// The picture blended over a canvas filled with `under`; returns an opaque RGB32 image of the
// picture's size. A picture without alpha is returned as it is (copied unchanged when drawn).
QImage BlendOver(const QImage& picture, QRgb under);

// The part of a drawn face that is not exactly the key colour: the window's visible and
// clickable region.
QRegion OpaqueRegion(const QImage& face, QRgb key);
