#pragma once
// The plain picture control: draws its picture at its own size at the top-left corner, unscaled.
// A picture with alpha (the window's background) is blended over the window's colour; any other
// picture is copied unchanged. Clicks and presses are reported through the On... callbacks.

#include <QImage>
#include <QWidget>
#include <functional>

class TImage : public QWidget {
    Q_OBJECT
  public:
    explicit TImage(QWidget* parent = nullptr);

    const QImage& picture() const { return picture_; }
    void setPicture(const QImage& picture);

    // Press of any button, with its position in the control.
    std::function<void(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X,
                       int Y)>
        OnMouseDown;
    // Left button pressed and released over the control.
    std::function<void(QObject* Sender)> OnClick;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QImage picture_;
    QImage drawn_;        // what paintEvent puts on screen: the picture, blended when it has alpha
    QRgb drawnOver_ = 0;  // the canvas colour drawn_ was blended over
    bool leftDown_ = false;
};
