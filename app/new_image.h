#pragma once
// A picture control that reports the pointer coming over it and leaving it, and shows the hand
// cursor while the pointer is over it. The window's picture buttons are made of these.

#include <QObject>
#include <functional>

#include "app/image.h"

class TNewImage : public TImage {
    Q_OBJECT
  public:
    explicit TNewImage(QWidget* parent = nullptr);

    // Raised with the control as sender; empty on a new control.
    std::function<void(QObject* Sender)> OnMouseEnter;
    std::function<void(QObject* Sender)> OnMouseLeave;

    // Calls OnMouseEnter when set, then shows the hand cursor, in every case.
    virtual void DoMouseEnter();
    // Calls OnMouseLeave when set, then shows the default cursor, in every case.
    virtual void DoMouseLeave();

  protected:
    // While a button is held down on this control it holds the mouse: it reports leaving (and
    // coming back) as the pointer crosses its edge, and no other control hears of the pointer
    // until the button comes up. Qt itself delays the holder's leave until the release, so the
    // crossing is tracked here from the moves the holder receives; over_ keeps every change
    // reported once.
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

  private:
    bool over_ = false;
};
