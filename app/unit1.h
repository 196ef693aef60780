#pragma once
// The one window Tovalin shows: a borderless, shaped 670 x 730 face with the address box, the
// HTML view, four picture buttons and the announcement ticker.
//
// The window's own behaviour (shape, drag, close, minimise, hover pictures) is in unit1.cpp; the
// topic reading handlers are in unit1_topic.cpp and the ticker handlers in unit1_announce.cpp.
// Each of those files owns the block of declarations marked with its name below.

#include <QWidget>
#include <memory>
#include <string>

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // ---- window (unit1.cpp) ----
    // (controls, FormCreate, FormShow, img_BGMouseDown, btn_CloseClick, btn_minClick,
    //  aplctnvnts1Message, hover handlers)

    // ---- topic reading (unit1_topic.cpp) ----

    // ---- announcements (unit1_announce.cpp) ----
};

// The one main window, assigned before FormCreate runs.
extern TForm1* Form1;
