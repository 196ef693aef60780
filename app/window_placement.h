#pragma once
// Where the window goes when it is first shown: centred on the virtual desktop (the bounding
// area of all monitors), each coordinate divided with truncation and raised to 0 when negative.
// The desktop's own origin is deliberately not added.

#include <QPoint>
#include <QSize>

constexpr QPoint FirstShowOrigin(QSize virtualDesktop, QSize window) {
    const int left = (virtualDesktop.width() - window.width()) / 2;  // C++ division truncates
    const int top = (virtualDesktop.height() - window.height()) / 2;
    return {left < 0 ? 0 : left, top < 0 ? 0 : top};
}
