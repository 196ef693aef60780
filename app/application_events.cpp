#include "app/application_events.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QMouseEvent>

#include "app/error_display.h"

TApplicationEvents::TApplicationEvents(QObject* parent) : QObject(parent) {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->installEventFilter(this);
    }
}

TApplicationEvents::~TApplicationEvents() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeEventFilter(this);
    }
}

bool TApplicationEvents::eventFilter(QObject* watched, QEvent* event) {
    if (!OnMessage) {
        return false;
    }
    bool handled = false;
    Guarded([&] { OnMessage(watched, event, handled); });
    return handled;
}

bool IsRightButtonPress(const QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonDblClick:
            return static_cast<const QMouseEvent*>(event)->button() == Qt::RightButton;
        case QEvent::ContextMenu:
            return static_cast<const QContextMenuEvent*>(event)->reason() ==
                   QContextMenuEvent::Mouse;
        default:
            return false;
    }
}
