#include "app/new_image.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>

#include "app/error_display.h"

namespace {
// A hint disappears this long after it came up.
constexpr int kHintShowMs = 2500;
}  // namespace

TNewImage::TNewImage(QWidget* parent) : TImage(parent) {}

void TNewImage::DoMouseEnter() {
    if (OnMouseEnter) {
        Guarded([this] { OnMouseEnter(this); });
    }
    setCursor(Qt::PointingHandCursor);
}

void TNewImage::DoMouseLeave() {
    if (OnMouseLeave) {
        Guarded([this] { OnMouseLeave(this); });
    }
    setCursor(Qt::ArrowCursor);
}

void TNewImage::enterEvent(QEnterEvent* event) {
    TImage::enterEvent(event);
    if (!over_) {
        over_ = true;
        DoMouseEnter();
    }
}

void TNewImage::leaveEvent(QEvent* event) {
    TImage::leaveEvent(event);
    if (over_) {
        over_ = false;
        DoMouseLeave();
    }
}

void TNewImage::mouseMoveEvent(QMouseEvent* event) {
    TImage::mouseMoveEvent(event);
    if (event->buttons() == Qt::NoButton) {
        return;  // not holding the mouse: Qt's own enter/leave reports are the ones that count
    }
    const bool inside = rect().contains(event->position().toPoint());
    if (over_ && !inside) {
        over_ = false;
        DoMouseLeave();
    } else if (!over_ && inside) {
        over_ = true;
        DoMouseEnter();
    }
}

bool TNewImage::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip && !toolTip().isEmpty()) {
        const auto* help = static_cast<QHelpEvent*>(event);
        QToolTip::showText(help->globalPos(), toolTip(), this, rect(), kHintShowMs);
        return true;
    }
    return TImage::event(event);
}
