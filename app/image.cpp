#include "app/image.h"

#include <QMouseEvent>
#include <QPainter>

#include "app/error_display.h"
#include "app/window_shape.h"

TImage::TImage(QWidget* parent) : QWidget(parent) {}

void TImage::setPicture(const QImage& picture) {
    picture_ = picture;
    drawn_ = QImage();
    update();
}

void TImage::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) {
        return;
    }
    // The canvas under a picture is the window's colour; blend again only when that changed.
    const QRgb under = parentWidget() != nullptr
                           ? parentWidget()->palette().color(QPalette::Window).rgb()
                           : kWindowKeyColour;
    if (drawn_.isNull() || under != drawnOver_) {
        drawn_ = BlendOver(picture_, under);
        drawnOver_ = under;
    }
    QPainter painter(this);
    painter.drawImage(0, 0, drawn_);
}

void TImage::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        leftDown_ = true;
    }
    if (OnMouseDown) {
        const QPoint at = event->position().toPoint();
        Guarded([&] { OnMouseDown(this, event->button(), event->modifiers(), at.x(), at.y()); });
    }
}

void TImage::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !leftDown_) {
        return;
    }
    leftDown_ = false;
    // A click counts only when the button comes up over the control it went down on.
    if (OnClick && rect().contains(event->position().toPoint())) {
        Guarded([&] { OnClick(this); });
    }
}
