#pragma once
// The one window Tovalin shows: a borderless, shaped 670 x 730 face with the address box, the
// HTML view, four picture buttons and the announcement ticker.
//
// The window's own behaviour (shape, drag, close, minimise, hover pictures) is in unit1.cpp; the
// topic reading handlers are in unit1_topic.cpp and the ticker handlers in unit1_announce.cpp.
// Each of those files owns the block of declarations marked with its name below.

#include <QObject>
#include <QWidget>
#include <memory>
#include <string>

#include "topic/post_list.h"

class TWebBrowser;

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // ---- window (unit1.cpp) ----

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
