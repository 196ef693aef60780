#pragma once
// The window's text labels: transparent, optionally sized to their text (like the ticker and the
// starter's caption), with click, mouse-move and mouse-leave callbacks.

#include <QLabel>
#include <functional>

class TLabel : public QLabel {
    Q_OBJECT
  public:
    explicit TLabel(QWidget* parent = nullptr);

    // When on, every change of text or font resizes the label to fit its text.
    void setAutoSize(bool on);
    // Hides QLabel::setText so that callers holding a TLabel get the auto-size.
    void setText(const QString& text);

    std::function<void(QObject* Sender)> OnClick;
    std::function<void(QObject* Sender, Qt::KeyboardModifiers Shift, int X, int Y)> OnMouseMove;
    std::function<void(QObject* Sender)> OnMouseLeave;

  protected:
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void fitText();
    bool autoSize_ = false;
    bool leftDown_ = false;
};
