// The picture buttons: enter/leave reports, cursors, and the hover pictures of the four buttons.
#include <QCursor>
#include <QEnterEvent>
#include <QTest>

#include "app/new_image.h"
#include "tests/app/form_fixture.h"

namespace {

void Enter(QWidget* w) {
    QEnterEvent enter(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), w->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(w, &enter);
}

void Leave(QWidget* w) {
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(w, &leave);
}

TEST(NewImage, ReportsEnterAndLeaveThenSetsTheCursor) {
    TNewImage image;
    std::vector<std::pair<std::string, QObject*>> log;
    image.OnMouseEnter = [&](QObject* sender) {
        log.emplace_back("enter", sender);
        EXPECT_NE(image.cursor().shape(), Qt::PointingHandCursor) << "cursor set after the event";
    };
    image.OnMouseLeave = [&](QObject* sender) { log.emplace_back("leave", sender); };
    image.setCursor(Qt::IBeamCursor);
    Enter(&image);
    EXPECT_EQ(image.cursor().shape(), Qt::PointingHandCursor);
    Leave(&image);
    EXPECT_EQ(image.cursor().shape(), Qt::ArrowCursor);
    const std::vector<std::pair<std::string, QObject*>> expected = {{"enter", &image},
                                                                    {"leave", &image}};
    EXPECT_EQ(log, expected);
}

TEST(NewImage, WithoutHandlersStillSwitchesTheCursor) {
    TNewImage image;
    EXPECT_FALSE(image.OnMouseEnter);
    EXPECT_FALSE(image.OnMouseLeave);
    image.DoMouseEnter();
    EXPECT_EQ(image.cursor().shape(), Qt::PointingHandCursor);
    image.DoMouseLeave();
    EXPECT_EQ(image.cursor().shape(), Qt::ArrowCursor);
}

using ImageButtonsTest = FormTest;

TEST_F(ImageButtonsTest, EachButtonSwapsBetweenItsHolders) {
    const struct {
        TNewImage* button;
        TImage* normal;
        TImage* over;
    } buttons[] = {
        {form->btn_Close, form->img_Close_Normal, form->img_Close_Over},
        {form->btn_min, form->img_min_normal, form->img_min_over},
        {form->btn_right, form->img_right_normal, form->img_right_over},
        {form->btn_left, form->img_left_normal, form->img_left_over},
    };
    for (const auto& b : buttons) {
        ASSERT_NE(b.normal->picture(), b.over->picture());
        Enter(b.button);
        EXPECT_EQ(b.button->picture(), b.over->picture());
        // Pressing and releasing on the button keeps the hover picture.
        QTest::mousePress(b.button, Qt::LeftButton);
        EXPECT_EQ(b.button->picture(), b.over->picture());
        Leave(b.button);
        EXPECT_EQ(b.button->picture(), b.normal->picture());
        EXPECT_FALSE(b.normal->isVisible());
        EXPECT_FALSE(b.over->picture().isNull()) << "the holder keeps its own copy";
    }
}

// Real pointer movement through the window system: sliding from one button onto its neighbour,
// clicking, and pressing then dragging off while the button holds the mouse.
TEST_F(ImageButtonsTest, PointerMovesFollowTheCaptureRule) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QWindow* window = form->windowHandle();
    const QImage minOver = form->img_min_over->picture();
    const QImage closeOver = form->img_Close_Over->picture();
    const QImage minNormal = form->img_min_normal->picture();
    const QImage closeNormal = form->img_Close_Normal->picture();

    QTest::mouseMove(window, QPoint(300, 300));
    QTest::mouseMove(window, QPoint(570, 40));  // on btn_min (525..580)
    EXPECT_EQ(form->btn_min->picture(), minOver);
    QTest::mouseMove(window, QPoint(581, 40));  // straight onto btn_Close (581..636)
    EXPECT_EQ(form->btn_min->picture(), minNormal);
    EXPECT_EQ(form->btn_Close->picture(), closeOver);

    // Press on the minimise button, drag off onto the close button with the button held.
    QTest::mouseMove(window, QPoint(560, 40));
    ASSERT_EQ(form->btn_min->picture(), minOver);
    form->btn_min->OnClick = nullptr;  // keep the window up
    QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, QPoint(560, 40));
    EXPECT_EQ(form->btn_min->picture(), minOver) << "no picture change on press";
    QTest::mouseMove(window, QPoint(600, 40));
    EXPECT_EQ(form->btn_min->picture(), minNormal) << "the holder of the mouse gets its leave";
    EXPECT_EQ(form->btn_Close->picture(), closeNormal) << "no enter while the mouse is held";
    QTest::mouseMove(window, QPoint(570, 40));
    EXPECT_EQ(form->btn_min->picture(), minOver) << "back over the holder";
    QTest::mouseMove(window, QPoint(600, 40));
    EXPECT_EQ(form->btn_min->picture(), minNormal);
    QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, QPoint(600, 40));
    QTest::mouseMove(window, QPoint(601, 41));
    EXPECT_EQ(form->btn_Close->picture(), closeOver) << "entered once the capture ended";
}

}  // namespace
