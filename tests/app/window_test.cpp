// The window as built: its controls, its creation and first show, where it appears, dragging,
// minimising and closing.
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineView>

#include "announce/shared_values.h"
#include "app/window_placement.h"
#include "tests/app/form_fixture.h"

namespace {

TEST(FirstShowOrigin, CentresWithTruncationAndClampsAtZero) {
    const struct {
        QSize desktop;
        QPoint origin;
    } cases[] = {
        {{1280, 1024}, {305, 147}},
        {{1281, 1025}, {305, 147}},  // halves truncate
        {{671, 731}, {0, 0}},
        {{600, 500}, {0, 0}},         // smaller than the window: clamped, never negative
        {{669, 729}, {0, 0}},         // -1 / 2 truncates to 0
        {{3840, 1080}, {1585, 175}},  // two monitors side by side: the whole virtual desktop
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FirstShowOrigin(c.desktop, QSize(670, 730)), c.origin)
            << c.desktop.width() << "x" << c.desktop.height();
    }
}

using WindowTest = FormTest;

TEST_F(WindowTest, ControlsAreBuiltInPlace) {
    EXPECT_EQ(Form1, form.get());
    EXPECT_EQ(form->size(), QSize(670, 730));
    EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);

    const struct {
        QWidget* control;
        QRect geometry;
        bool visible;
    } controls[] = {
        {form->img_BG, {0, 0, 670, 730}, true},
        {form->btn_Close, {581, 9, 56, 65}, true},
        {form->img_Close_Normal, {240, 8, 56, 65}, false},
        {form->img_Close_Over, {176, 8, 56, 65}, false},
        {form->btn_min, {525, 9, 56, 65}, true},
        {form->img_min_over, {360, 8, 56, 65}, false},
        {form->img_min_normal, {424, 8, 56, 65}, false},
        {form->edt_directory_URL, {144, 98, 521, 25}, true},
        {form->btn_right, {596, 320, 69, 120}, true},
        {form->img_right_normal, {600, 152, 69, 120}, false},
        {form->img_right_over, {584, 160, 69, 120}, false},
        {form->btn_left, {5, 328, 69, 120}, true},
        {form->img_left_normal, {0, 144, 69, 120}, false},
        {form->img_left_over, {24, 152, 69, 120}, false},
        {form->btn1, {88, 16, 153, 65}, false},
        {form->wb1, {66, 200, 538, 489}, true},
        {form->lbl_guangbo1, {16, 712, 85, 13}, false},
    };
    for (const auto& c : controls) {
        EXPECT_EQ(c.control->geometry(), c.geometry) << c.control->metaObject()->className();
        EXPECT_EQ(!c.control->isHidden(), c.visible) << c.control->metaObject()->className();
        EXPECT_EQ(c.control->parentWidget(), form.get());
    }
    EXPECT_EQ(form->lbl_ad1->pos(), QPoint(104, 712));
    EXPECT_EQ(form->lbl_LZName->pos(), QPoint(40, 160));
    EXPECT_TRUE(form->lbl_ad1->text().isEmpty());
    EXPECT_EQ(form->lbl_guangbo1->text(), QString::fromUtf8("澜页留声机 ："));
    EXPECT_EQ(form->btn1->text(), "btn1");
    EXPECT_FALSE(form->edt_directory_URL->text().isEmpty());
    EXPECT_FALSE(form->edt_directory_URL->hasFrame());
    EXPECT_EQ(form->edt_directory_URL->focusPolicy(), Qt::ClickFocus);

    // Fonts (pixel heights) and hints.
    EXPECT_EQ(form->font().pixelSize(), 11);
    EXPECT_EQ(form->lbl_ad1->font().pixelSize(), 13);
    EXPECT_EQ(form->lbl_LZName->font().pixelSize(), 17);
    EXPECT_EQ(form->lbl_guangbo1->font().pixelSize(), 13);
    EXPECT_EQ(form->edt_directory_URL->font().pixelSize(), 17);
    EXPECT_EQ(form->btn_Close->toolTip(), QString::fromUtf8("关闭"));
    EXPECT_EQ(form->btn_min->toolTip(), QString::fromUtf8("最小化"));
    EXPECT_EQ(form->btn_right->toolTip(), QString::fromUtf8("下一个"));
    EXPECT_EQ(form->btn_left->toolTip(), QString::fromUtf8("上一个"));
    for (TNewImage* button : {form->btn_Close, form->btn_min, form->btn_right, form->btn_left}) {
        EXPECT_EQ(button->cursor().shape(), Qt::PointingHandCursor);
    }
    EXPECT_TRUE(form->img_BG->toolTip().isEmpty());

    // Each button starts with the picture of its normal holder.
    EXPECT_EQ(form->btn_Close->picture(), form->img_Close_Normal->picture());
    EXPECT_EQ(form->btn_min->picture(), form->img_min_normal->picture());
    EXPECT_EQ(form->btn_right->picture(), form->img_right_normal->picture());
    EXPECT_EQ(form->btn_left->picture(), form->img_left_normal->picture());
    EXPECT_EQ(form->img_BG->picture().size(), QSize(670, 730));
    EXPECT_EQ(form->img_right_over->picture().format(), QImage::Format_Indexed8);
    EXPECT_FALSE(form->btn_Close->picture().hasAlphaChannel());

    // The view, the address box and btn1 lie above every picture and label.
    const QObjectList& stack = form->children();
    const auto at = [&](QObject* o) { return stack.indexOf(o); };
    for (QObject* windowed :
         {static_cast<QObject*>(form->wb1), static_cast<QObject*>(form->edt_directory_URL),
          static_cast<QObject*>(form->btn1)}) {
        for (QObject* drawn :
             {static_cast<QObject*>(form->img_BG), static_cast<QObject*>(form->btn_left),
              static_cast<QObject*>(form->btn_right), static_cast<QObject*>(form->lbl_ad1),
              static_cast<QObject*>(form->lbl_guangbo1)}) {
            EXPECT_GT(at(windowed), at(drawn));
        }
    }
    // Tab order: the address box, btn1, the view.
    EXPECT_EQ(form->edt_directory_URL->nextInFocusChain(), form->btn1);
    EXPECT_EQ(form->tmr_ad->interval(), 6000);
    EXPECT_TRUE(form->tmr_ad->isActive());
}

TEST_F(WindowTest, FormCreateSetsTheStartValues) {
    ASSERT_NE(form->PostList, nullptr);
    EXPECT_EQ(form->PostList->Count(), 0);
    EXPECT_EQ(form->palette().color(QPalette::Window).rgb(), 0xFF808080u);
    EXPECT_TRUE(form->TransparentColor);
    EXPECT_EQ(form->TransparentColorValue, 0xFF808080u);
    EXPECT_EQ(CurrentVersion, "1.0");
    EXPECT_EQ(TickCount, 0);
    EXPECT_FALSE(form->DoubleBuffered);
    // The shape: the corners are cut out, the body is not.
    const QRegion shape = form->mask();
    EXPECT_FALSE(shape.contains(QPoint(0, 0)));
    EXPECT_FALSE(shape.contains(QPoint(669, 729)));
    EXPECT_TRUE(shape.contains(QPoint(335, 365)));
    EXPECT_TRUE(shape.contains(QPoint(0, 365)));
}

TEST_F(WindowTest, FirstShowRunsFormShowOnceAndCentres) {
    NetworkFailed = 1;
    ASSERT_EQ(CallsOf("StartAnnouncementWorker"), 0);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_EQ(CallsOf("StartAnnouncementWorker"), 1);
    EXPECT_EQ(NetworkFailed, 0);
    EXPECT_TRUE(form->DoubleBuffered);
    EXPECT_EQ(form->lbl_ad1->cursor().shape(), Qt::PointingHandCursor);
    const QSize desktop = form->screen()->virtualSize();
    EXPECT_EQ(form->pos(), FirstShowOrigin(desktop, QSize(670, 730)));

    // Minimise and restore, hide and show again: no second worker, no second centring.
    form->move(40, 30);
    QTest::mouseClick(form->btn_min, Qt::LeftButton);
    EXPECT_TRUE(form->windowState() & Qt::WindowMinimized);
    form->showNormal();
    form->hide();
    form->show();
    QTest::qWait(20);
    EXPECT_EQ(CallsOf("StartAnnouncementWorker"), 1);
    EXPECT_EQ(form->pos(), QPoint(40, 30));
}

TEST_F(WindowTest, FormShowDiscardsAFailureAndSkipsTheRest) {
    NetworkFailed = 1;
    form->StartAnnouncements = [] { throw std::runtime_error("cannot start a thread"); };
    form->show();
    EXPECT_EQ(NetworkFailed, 0);
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_TRUE(form->isVisible());
}

// Offscreen there is no window manager to move the window, so the window follows the pointer
// itself; under a window manager the same press hands the move to it.
TEST_F(WindowTest, DraggingTheBackgroundMovesTheWindowButNotFromOtherControls) {
    form->show();
    form->move(100, 100);
    const auto drag = [&](QWidget* target, QPoint from, QPoint by) {
        const QPointF global = target->mapToGlobal(QPointF(from));
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(from), global, Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        QMouseEvent move(QEvent::MouseMove, QPointF(from + by), global + QPointF(by), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(from + by), global + QPointF(by),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(target, &release);
    };
    drag(form->img_BG, QPoint(300, 40), QPoint(30, 20));
    EXPECT_EQ(form->pos(), QPoint(130, 120));
    drag(form->btn_Close, QPoint(10, 10), QPoint(30, 20));
    drag(form->edt_directory_URL, QPoint(10, 10), QPoint(30, 20));
    drag(form->wb1, QPoint(10, 10), QPoint(30, 20));
    EXPECT_EQ(form->pos(), QPoint(130, 120));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(WindowTest, CloseButtonEndsTheLoop) {
    form->show();
    QTimer::singleShot(0, form.get(), [&] { QTest::mouseClick(form->btn_Close, Qt::LeftButton); });
    QTimer guard;
    guard.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&guard, &QTimer::timeout, [&] {
        timedOut = true;
        QApplication::exit(1);
    });
    guard.start(5000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(timedOut);
    EXPECT_FALSE(form->isVisible());
}

}  // namespace
