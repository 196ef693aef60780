#pragma once
// The one window Tovalin shows: a borderless, shaped 670 x 730 face with the address box, the
// HTML view, four picture buttons and the announcement ticker.
//
// The window's own behaviour (shape, drag, close, minimise, hover pictures) is in unit1.cpp; the
// topic reading handlers are in unit1_topic.cpp and the ticker handlers in unit1_announce.cpp.
// Each of those files owns the block of declarations marked with its name below.

#include <QLineEdit>
#include <QObject>
#include <QPushButton>
#include <QRgb>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "app/application_events.h"
#include "app/image.h"
#include "app/key_steps.h"
#include "app/label.h"
#include "app/new_image.h"
#include "topic/post_list.h"
#include "view/web_browser.h"

class QEvent;
class QShowEvent;
class TReading;

class TForm1 : public QWidget {
    Q_OBJECT
  public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // ---- window (unit1.cpp) ----
  public:
    // The controls, owned by the window. Creation (and stacking) order differs from this order:
    // see the constructor.
    TImage* img_BG = nullptr;
    TNewImage* btn_Close = nullptr;
    TImage* img_Close_Normal = nullptr;
    TImage* img_Close_Over = nullptr;
    TNewImage* btn_min = nullptr;
    TImage* img_min_over = nullptr;
    TImage* img_min_normal = nullptr;
    QLineEdit* edt_directory_URL = nullptr;
    TNewImage* btn_right = nullptr;
    TImage* img_right_normal = nullptr;
    TImage* img_right_over = nullptr;
    TNewImage* btn_left = nullptr;
    TImage* img_left_normal = nullptr;
    TImage* img_left_over = nullptr;
    TLabel* lbl_ad1 = nullptr;
    QTimer* tmr_ad = nullptr;
    QPushButton* btn1 = nullptr;
    TLabel* lbl_LZName = nullptr;
    TWebBrowser* wb1 = nullptr;
    TApplicationEvents* aplctnvnts1 = nullptr;
    TLabel* lbl_guangbo1 = nullptr;
    // Not one of the face's own controls: the status line, right-aligned on the caption row.
    TLabel* lbl_status = nullptr;

    // Runs once, from the constructor, after every control exists.
    void FormCreate(QObject* Sender);
    // Runs on the first show only, before the window is placed and appears. Failures inside are
    // discarded silently.
    void FormShow(QObject* Sender);

    void img_BGMouseDown(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift,
                         int X, int Y);
    void btn_CloseClick(QObject* Sender);
    void btn_minClick(QObject* Sender);
    void btn_CloseMouseEnter(QObject* Sender);
    void btn_CloseMouseLeave(QObject* Sender);
    void btn_minMouseEnter(QObject* Sender);
    void btn_minMouseLeave(QObject* Sender);
    void btn_rightMouseEnter(QObject* Sender);
    void btn_rightMouseLeave(QObject* Sender);
    void btn_leftMouseEnter(QObject* Sender);
    void btn_leftMouseLeave(QObject* Sender);
    // Drops every right-button press of the main thread, whatever window it is meant for.
    void aplctnvnts1Message(QObject* Receiver, QEvent* Msg, bool& Handled);

    // Painting goes through an off-screen buffer once FormShow has run (Qt always does so; the
    // flag records the step).
    bool DoubleBuffered = false;
    // Pixels of exactly this colour are cut out of the window once the key is on.
    bool TransparentColor = false;
    QRgb TransparentColorValue = 0;

    // How FormShow starts the announcement worker; tests replace it to count the starts.
    std::function<void()> StartAnnouncements;

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildControls();
    void ConnectEvents();
    void ApplyLayering();
    void KeepDragging(const QPointF& globalPosition);

    bool firstShowDone_ = false;
    // One step per physical press of a key in the address box.
    TPhysicalKeys boxKeys_;
    TWindowKeys* windowKeys_ = nullptr;
    // Dragging by hand, for platforms whose window manager offers no move-by-mouse.
    bool dragging_ = false;
    QPointF dragGrabGlobal_;
    QPoint dragWindowStart_;

    // ---- topic reading (unit1_topic.cpp) ----
  public:
    // Enter in the address box starts a load; the key still goes to the box.
    void edt_directory_URLKeyPress(QObject* Sender, QChar& Key);
    // Key codes 37 (left arrow) and 39 (right arrow) step back and forward.
    void edt_directory_URLKeyUp(QObject* Sender, int Key, Qt::KeyboardModifiers Shift);
    void btn1Click(QObject* Sender);
    void btn_rightClick(QObject* Sender);
    void btn_leftClick(QObject* Sender);
    // Shows one post fragment (UTF-8) under the starter's caption.
    void RenderPost(const std::string& fragment);

    std::shared_ptr<TPostList> PostList;
    int PostIndex = 0;

    // ---- reading companions (unit1_reading.cpp) ----
  public:
    // Runs once from the constructor: remembered reading, the recent-topics list, the zoom.
    void ConnectReading();
    // Sets the address box to `address` and starts its load, as Enter in the box does (an address
    // from the command line, a recent topic chosen from the list).
    void OpenTopic(const QString& address);
    // The window-wide keys.
    void StepByKey(TKeyStep step);
    void ZoomByKey(TZoomKey key);
    // Home and End: the opening post of the load on display, the last post collected so far.
    void ShowOpeningPost();
    void ShowLastPost();
    TReading* Reading = nullptr;

    // ---- announcements (unit1_announce.cpp) ----
  public:
    // Called once by FormShow: starts the one announcement worker of this run.
    void StartAnnouncementWorker();
    void tmr_adTimer(QObject* Sender);
    void lbl_ad1Click(QObject* Sender);
    void lbl_ad1MouseMove(QObject* Sender, Qt::KeyboardModifiers Shift, int X, int Y);
    void lbl_ad1MouseLeave(QObject* Sender);
    void OpenInExplorer(const std::string& address);
};

// The one main window, assigned before FormCreate runs.
extern TForm1* Form1;
