#pragma once
// Keys that step through the posts and zoom the view, whatever part of the window has the
// focus, and the rule that makes one physical press one step.
//
// Holding a key down makes the system repeat it. Qt marks most repeats, but under X11 a repeat
// can also arrive as a release and a press carrying the same time stamp that Qt does not mark;
// TPhysicalKeys tells those apart from a real release, so a held key steps once.

#include <QObject>
#include <functional>
#include <map>

class QKeyEvent;
class QWidget;

class TPhysicalKeys {
  public:
    // Every press and release of the keys that step goes through here. Release returns true when
    // it ends a physical press that has not stepped yet.
    void Press(int key, unsigned long timestamp, bool autoRepeat);
    bool Release(int key, unsigned long timestamp, bool autoRepeat);

  private:
    int lastReleaseKey_ = 0;
    unsigned long lastReleaseTime_ = 0;
    // Keys held down through repeats whose release/press pairs were seen: their step is done.
    std::map<int, bool> holding_;
};

enum class TKeyStep { Next, Previous, Opening, Last };
enum class TZoomKey { In, Out, Reset };

// The step a key stands for window-wide, if any.
bool KeyStep(int qtKey, TKeyStep& step);
// The zoom a key with Ctrl stands for, if any (Ctrl+plus, Ctrl+equals, Ctrl+minus, Ctrl+0).
bool ZoomKey(int qtKey, Qt::KeyboardModifiers modifiers, TZoomKey& zoom);

// Watches every key of `window` (installed application-wide, since the view's inner widgets take
// the keys first). Keys typed into `typingBox` are left to it, except the zoom keys.
class TWindowKeys : public QObject {
    Q_OBJECT
  public:
    TWindowKeys(QWidget* window, QWidget* typingBox);
    ~TWindowKeys() override;

    std::function<void(TKeyStep)> OnStep;
    std::function<void(TZoomKey)> OnZoom;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool OnKey(QWidget* target, QKeyEvent* key);

    QWidget* window_;
    QWidget* typingBox_;
    TPhysicalKeys physical_;
};
