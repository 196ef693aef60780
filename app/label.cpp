#include "app/label.h"

#include <QMouseEvent>

#include "app/error_display.h"

TLabel::TLabel(QWidget* parent) : QLabel(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setTextFormat(Qt::PlainText);  // texts come from the network: never interpret markup
    setMouseTracking(true);        // mouse-move reports without a button held
    setMargin(0);
    setIndent(0);
}

void TLabel::setAutoSize(bool on) {
    autoSize_ = on;
    fitText();
}

void TLabel::setText(const QString& text) {
    QLabel::setText(text);
    fitText();
}

void TLabel::fitText() {
    if (autoSize_) {
        adjustSize();
    }
}

void TLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        fitText();
    }
}

void TLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        leftDown_ = true;
    }
    QLabel::mousePressEvent(event);
}

void TLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !leftDown_) {
        return;
    }
    leftDown_ = false;
    if (OnClick && rect().contains(event->position().toPoint())) {
        Guarded([this] { OnClick(this); });
    }
}

void TLabel::mouseMoveEvent(QMouseEvent* event) {
    QLabel::mouseMoveEvent(event);
    if (OnMouseMove) {
        const QPoint at = event->position().toPoint();
        Guarded([&] { OnMouseMove(this, event->modifiers(), at.x(), at.y()); });
    }
}

void TLabel::leaveEvent(QEvent* event) {
    QLabel::leaveEvent(event);
    if (OnMouseLeave) {
        Guarded([this] { OnMouseLeave(this); });
    }
}
