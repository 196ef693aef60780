#include "app/key_steps.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace {

// An X11 repeat sends its release and the next press with one time stamp. Time 0 means the
// event carries no time (synthesised), and is never taken for such a pair.
bool SameInstant(unsigned long a, unsigned long b) {
    return a != 0 && a == b;
}

}  // namespace

void TPhysicalKeys::Press(int key, unsigned long timestamp, bool autoRepeat) {
    if (autoRepeat) {
        return;  // still the same press
    }
    // A press at the very instant of this key's last release is the second half of a repeat:
    // the key never went up, and its step was already taken on that release.
    holding_[key] = key == lastReleaseKey_ && SameInstant(timestamp, lastReleaseTime_);
}

bool TPhysicalKeys::Release(int key, unsigned long timestamp, bool autoRepeat) {
    if (autoRepeat) {
        return false;
    }
    lastReleaseKey_ = key;
    lastReleaseTime_ = timestamp;
    return !holding_[key];
}

bool KeyStep(int qtKey, TKeyStep& step) {
    switch (qtKey) {
        case Qt::Key_Right:
        case Qt::Key_PageDown:
            step = TKeyStep::Next;
            return true;
        case Qt::Key_Left:
        case Qt::Key_PageUp:
            step = TKeyStep::Previous;
            return true;
        case Qt::Key_Home:
            step = TKeyStep::Opening;
            return true;
        case Qt::Key_End:
            step = TKeyStep::Last;
            return true;
        default:
            return false;
    }
}

bool ZoomKey(int qtKey, Qt::KeyboardModifiers modifiers, TZoomKey& zoom) {
    if (!(modifiers & Qt::ControlModifier) || (modifiers & (Qt::AltModifier | Qt::MetaModifier))) {
        return false;
    }
    switch (qtKey) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:  // the plus sign's key without Shift
            zoom = TZoomKey::In;
            return true;
        case Qt::Key_Minus:
        case Qt::Key_Underscore:
            zoom = TZoomKey::Out;
            return true;
        case Qt::Key_0:
            zoom = TZoomKey::Reset;
            return true;
        default:
            return false;
    }
}

TWindowKeys::TWindowKeys(QWidget* window, QWidget* typingBox)
    : QObject(window), window_(window), typingBox_(typingBox) {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->installEventFilter(this);
    }
}

TWindowKeys::~TWindowKeys() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeEventFilter(this);
    }
}

bool TWindowKeys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) {
        return false;
    }
    auto* target = qobject_cast<QWidget*>(watched);
    // Only keys meant for this window; a dialog over it keeps its own.
    if (target == nullptr || target->window() != window_ ||
        QApplication::activeModalWidget() != nullptr) {
        return false;
    }
    return OnKey(target, static_cast<QKeyEvent*>(event));
}

bool TWindowKeys::OnKey(QWidget* target, QKeyEvent* key) {
    const bool press = key->type() == QEvent::KeyPress;
    TZoomKey zoom{};
    if (ZoomKey(key->key(), key->modifiers(), zoom)) {
        if (press && !key->isAutoRepeat() && OnZoom) {
            OnZoom(zoom);
        }
        return true;  // the view's own zoom keys would zoom a second time
    }
    // Typing in the address box: its own keys (the arrows step there on their own release).
    if (target == typingBox_ || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        return false;
    }
    TKeyStep step{};
    if (!KeyStep(key->key(), step)) {
        return false;
    }
    if (press) {
        physical_.Press(key->key(), key->timestamp(), key->isAutoRepeat());
    } else if (physical_.Release(key->key(), key->timestamp(), key->isAutoRepeat()) && OnStep) {
        OnStep(step);
    }
    // Taken here: the view would scroll with them as well.
    return true;
}
