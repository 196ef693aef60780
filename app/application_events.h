#pragma once
// An application-wide hook: every event the main thread delivers, to any window or control, is
// first offered to OnMessage, which may mark it handled; a handled event goes no further.

#include <QObject>
#include <functional>

class QEvent;

class TApplicationEvents : public QObject {
    Q_OBJECT
  public:
    // Installs itself on the application object; the hook lives as long as this object.
    explicit TApplicationEvents(QObject* parent = nullptr);
    ~TApplicationEvents() override;

    std::function<void(QObject* Receiver, QEvent* Msg, bool& Handled)> OnMessage;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// True for every form of a right-button press: the press itself, the second press of a double
// click, and the context request a press raises. Releases are not presses.
bool IsRightButtonPress(const QEvent* event);
