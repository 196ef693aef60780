// What the window hands to the topic and ticker handlers, and what it keeps from every control:
// right-button presses.
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QWebEngineView>

#include "tests/app/form_fixture.h"

namespace {

using EventRoutingTest = FormTest;

std::vector<std::string> Handlers() {
    std::vector<std::string> names;
    for (const auto& call : RecordedCalls()) {
        names.push_back(call.handler);
    }
    return names;
}

TEST_F(EventRoutingTest, KeysOfTheAddressBox) {
    QLineEdit* box = form->edt_directory_URL;
    box->setText("http://a/");
    box->setCursorPosition(box->text().size());
    form->show();
    box->setFocus();

    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClick(box, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(box, 'x');
    QTest::keyClick(box, Qt::Key_Left);
    QTest::keyClick(box, Qt::Key_Right);
    QTest::keyClick(box, Qt::Key_Right, Qt::ShiftModifier);

    std::vector<std::pair<std::string, int>> seen;
    for (const auto& call : RecordedCalls()) {
        if (call.handler == "KeyPress" || call.handler == "KeyUp") {
            EXPECT_EQ(call.sender, box);
            seen.emplace_back(call.handler, call.key);
        }
    }
    const std::vector<std::pair<std::string, int>> expected = {
        {"KeyPress", 13},  {"KeyUp", Qt::Key_Return}, {"KeyPress", 13}, {"KeyUp", Qt::Key_Enter},
        {"KeyPress", 'x'}, {"KeyUp", Qt::Key_X},      {"KeyUp", 37},    {"KeyUp", 39},
        {"KeyUp", 39},     {"KeyUp", Qt::Key_Shift},
    };
    EXPECT_EQ(seen, expected);
    // The keys still reach the box: the typed character and the caret moves.
    EXPECT_EQ(box->text(), "http://a/x");
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(EventRoutingTest, AutoRepeatedReleasesAreNotReported) {
    QLineEdit* box = form->edt_directory_URL;
    for (int i = 0; i < 3; ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, QString(), i > 0);
        QApplication::sendEvent(box, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier, QString(), i < 2);
        QApplication::sendEvent(box, &release);
    }
    EXPECT_EQ(Handlers(), std::vector<std::string>({"KeyUp"}));
}

// Qt's codes for "%", "&", "'" and "(" are the numbers the handler knows as the arrow keys; typed
// into an address they must not step. Only the real arrows are reported as 37 to 40.
TEST_F(EventRoutingTest, CharactersOnTheArrowCodesAreNotArrows) {
    QLineEdit* box = form->edt_directory_URL;
    box->clear();
    form->show();
    box->setFocus();
    QTest::keyClicks(box, "%'&(");
    QTest::keyClick(box, Qt::Key_Up);
    QTest::keyClick(box, Qt::Key_Down);
    std::vector<int> released;
    for (const auto& call : RecordedCalls()) {
        if (call.handler == "KeyUp") {
            released.push_back(call.key);
        }
    }
    EXPECT_EQ(released, (std::vector<int>{0, 0, 0, 0, 38, 40}));
    EXPECT_EQ(box->text(), "%'&(");
}

// Under X11 a held key may come as release/press pairs with one time stamp that Qt does not mark
// as repeats: one physical press is one step, on its first release; the next press steps again.
TEST_F(EventRoutingTest, AHeldKeyStepsOnceThroughUnmarkedRepeats) {
    QLineEdit* box = form->edt_directory_URL;
    const auto send = [&](QEvent::Type type, Qt::Key key, ulong time) {
        QKeyEvent event(type, key, Qt::NoModifier, QString());
        event.setTimestamp(time);
        QApplication::sendEvent(box, &event);
    };
    send(QEvent::KeyPress, Qt::Key_Right, 1000);
    for (ulong t = 1500; t <= 1800; t += 100) {  // the repeats: release and press at once
        send(QEvent::KeyRelease, Qt::Key_Right, t);
        send(QEvent::KeyPress, Qt::Key_Right, t);
    }
    send(QEvent::KeyRelease, Qt::Key_Right, 1850);  // the key comes up
    EXPECT_EQ(CallsOf("KeyUp"), 1);
    send(QEvent::KeyPress, Qt::Key_Right, 2000);  // a new press
    send(QEvent::KeyRelease, Qt::Key_Right, 2080);
    EXPECT_EQ(CallsOf("KeyUp"), 2);
    // Another key's release at the same instant is no repeat of this one.
    send(QEvent::KeyPress, Qt::Key_Left, 2080);
    send(QEvent::KeyRelease, Qt::Key_Left, 2100);
    EXPECT_EQ(CallsOf("KeyUp"), 3);
}

// Keys that step work whatever has the focus (the view's inner widget, say), once per physical
// press; while the address box has the focus they are its own. Ctrl+plus/minus/0 zoom anywhere.
TEST_F(EventRoutingTest, WindowWideKeysStepAndZoom) {
    form->show();
    QWidget* view = form->wb1->engineView()->focusProxy();
    if (view == nullptr) {
        view = form->wb1->engineView();
    }
    const struct {
        Qt::Key key;
        TKeyStep step;
    } steps[] = {{Qt::Key_Right, TKeyStep::Next},    {Qt::Key_PageDown, TKeyStep::Next},
                 {Qt::Key_Left, TKeyStep::Previous}, {Qt::Key_PageUp, TKeyStep::Previous},
                 {Qt::Key_Home, TKeyStep::Opening},  {Qt::Key_End, TKeyStep::Last}};
    for (const auto& s : steps) {
        RecordedCalls().clear();
        QTest::keyPress(view, s.key);
        for (QEvent::Type type : {QEvent::KeyRelease, QEvent::KeyPress}) {  // a marked repeat
            QKeyEvent repeat(type, s.key, Qt::NoModifier, QString(), true);
            QApplication::sendEvent(view, &repeat);
        }
        EXPECT_EQ(CallsOf("StepByKey"), 0) << "stepped before the key came up";
        QTest::keyRelease(view, s.key);
        ASSERT_EQ(RecordedCalls().size(), 1u) << s.key;
        EXPECT_EQ(RecordedCalls()[0].handler, "StepByKey");
        EXPECT_EQ(RecordedCalls()[0].key, static_cast<int>(s.step));
    }
    // The window itself (no control with the focus) steps as well.
    RecordedCalls().clear();
    QTest::keyClick(form.get(), Qt::Key_PageDown);
    EXPECT_EQ(CallsOf("StepByKey"), 1);
    // Shift+Right is a selection key, not a step; Home in the address box moves its caret.
    RecordedCalls().clear();
    QTest::keyClick(view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(form->edt_directory_URL, Qt::Key_Home);
    EXPECT_EQ(CallsOf("StepByKey"), 0);

    RecordedCalls().clear();
    QTest::keyClick(view, Qt::Key_Plus, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Equal, Qt::ControlModifier);
    QTest::keyClick(form->edt_directory_URL, Qt::Key_Minus, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_0, Qt::ControlModifier);
    std::vector<int> zooms;
    for (const auto& call : RecordedCalls()) {
        if (call.handler == "ZoomByKey") {
            zooms.push_back(call.key);
        }
    }
    EXPECT_EQ(zooms, (std::vector<int>{
                         static_cast<int>(TZoomKey::In), static_cast<int>(TZoomKey::In),
                         static_cast<int>(TZoomKey::Out), static_cast<int>(TZoomKey::Reset)}));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(EventRoutingTest, AHandlerCanSwallowAKeyAndItsErrorsGoToTheDisplay) {
    QLineEdit* box = form->edt_directory_URL;
    box->clear();
    RecordedHandlerAction = [](const std::string& handler, QChar* key) {
        if (handler == "KeyPress" && key != nullptr && *key == QChar('q')) {
            *key = QChar(0);
        }
        if (handler == "KeyPress" && key != nullptr && *key == QChar(13)) {
            throw std::runtime_error("网络连接失败");
        }
    };
    QTest::keyClick(box, 'q');
    QTest::keyClick(box, 'w');
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(box->text(), "w");
    EXPECT_EQ(errors, QStringList({QString::fromUtf8("网络连接失败.")}));
}

TEST_F(EventRoutingTest, ClicksLabelsAndTimerReachTheirHandlers) {
    form->show();
    QTest::mouseClick(form->btn_right, Qt::LeftButton);
    QTest::mouseClick(form->btn_left, Qt::LeftButton);
    form->btn1->click();
    form->lbl_ad1->setText("announcement title");
    QTest::mouseMove(form->lbl_ad1, QPoint(3, 3));
    QMouseEvent move(QEvent::MouseMove, QPointF(4, 4), form->lbl_ad1->mapToGlobal(QPointF(4, 4)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(form->lbl_ad1, &move);
    QTest::mouseClick(form->lbl_ad1, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(form->lbl_ad1, &leave);
    form->tmr_ad->setInterval(1);
    EXPECT_TRUE(QTest::qWaitFor(
        [] {
            for (const auto& c : RecordedCalls()) {
                if (c.handler == "tmr_adTimer") {
                    return true;
                }
            }
            return false;
        },
        2000));
    form->tmr_ad->stop();

    EXPECT_EQ(CallsOf("btn_rightClick"), 1);
    EXPECT_EQ(CallsOf("btn_leftClick"), 1);
    EXPECT_EQ(CallsOf("btn1Click"), 1);
    EXPECT_GE(CallsOf("lbl_ad1MouseMove"), 1);
    EXPECT_EQ(CallsOf("lbl_ad1Click"), 1);
    EXPECT_GE(CallsOf("lbl_ad1MouseLeave"), 1);
    EXPECT_GE(CallsOf("tmr_adTimer"), 1);
    for (const auto& call : RecordedCalls()) {
        if (call.handler == "btn_rightClick") {
            EXPECT_EQ(call.sender, form->btn_right);
        } else if (call.handler == "tmr_adTimer") {
            EXPECT_EQ(call.sender, form->tmr_ad);
        } else if (call.handler.rfind("lbl_ad1", 0) == 0) {
            EXPECT_EQ(call.sender, form->lbl_ad1);
        }
    }
    // The ticker label is sized to its text.
    EXPECT_EQ(form->lbl_ad1->size(), form->lbl_ad1->sizeHint());
    EXPECT_GT(form->lbl_ad1->width(), 20);
}

TEST_F(EventRoutingTest, AClickNeedsTheReleaseOverTheButton) {
    QTest::mousePress(form->btn_right, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    QTest::mouseRelease(form->btn_right, Qt::LeftButton, Qt::NoModifier, QPoint(200, 10));
    QTest::mouseClick(form->btn_right, Qt::RightButton);
    EXPECT_EQ(CallsOf("btn_rightClick"), 0);
}

TEST_F(EventRoutingTest, HandlerErrorsGoToTheDisplayAndTheWindowGoesOn) {
    RecordedHandlerAction = [](const std::string& handler, QChar*) {
        if (handler == "btn_rightClick") {
            throw std::out_of_range("List index out of bounds (5)");
        }
    };
    QTest::mouseClick(form->btn_right, Qt::LeftButton);
    QTest::mouseClick(form->btn_left, Qt::LeftButton);
    // ")" sorts below ".", so no full stop is added.
    EXPECT_EQ(errors, QStringList({"List index out of bounds (5)"}));
    EXPECT_EQ(CallsOf("btn_leftClick"), 1);
}

// Records what reaches one object after the application-wide hook had its say.
class Recorder : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress ||
            event->type() == QEvent::MouseButtonRelease ||
            event->type() == QEvent::MouseButtonDblClick || event->type() == QEvent::ContextMenu) {
            const auto* mouse = dynamic_cast<QMouseEvent*>(event);
            seen.append(QString::number(event->type()) + ":" +
                        QString::number(mouse != nullptr ? int(mouse->button()) : 0));
        }
        return false;
    }
    QStringList seen;
};

TEST_F(EventRoutingTest, RightButtonPressesNeverReachAControl) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    // The engine is started after the window's first paint; its input widget comes with it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->wb1->engineView()->focusProxy() != nullptr; }));
    QWidget* viewInput = form->wb1->engineView()->focusProxy();
    for (QWidget* target :
         {static_cast<QWidget*>(form->edt_directory_URL), viewInput,
          static_cast<QWidget*>(form->img_BG), static_cast<QWidget*>(form->btn_right)}) {
        Recorder recorder;
        target->installEventFilter(&recorder);
        QTest::mousePress(target, Qt::RightButton);
        QTest::mouseRelease(target, Qt::RightButton);
        QTest::mouseDClick(target, Qt::RightButton);
        QTest::mousePress(target, Qt::LeftButton);
        QTest::mouseRelease(target, Qt::LeftButton);
        target->removeEventFilter(&recorder);
        const QString rightRelease = QString("%1:%2").arg(QEvent::MouseButtonRelease).arg(2);
        const QString leftPress = QString("%1:%2").arg(QEvent::MouseButtonPress).arg(1);
        EXPECT_EQ(recorder.seen.count(rightRelease), 1) << target->metaObject()->className();
        EXPECT_EQ(recorder.seen.count(leftPress), 1) << target->metaObject()->className();
        for (const QString& s : recorder.seen) {
            EXPECT_FALSE(s.endsWith(":2") && s != rightRelease)
                << target->metaObject()->className() << " got " << s.toStdString();
        }
    }
    // Through the window system as well: the press on the window itself goes no further.
    QWindow* window = form->windowHandle();
    Recorder onBox;
    form->edt_directory_URL->installEventFilter(&onBox);
    const QPoint inBox = form->edt_directory_URL->geometry().center();
    QTest::mousePress(window, Qt::RightButton, Qt::NoModifier, inBox);
    QTest::mouseRelease(window, Qt::RightButton, Qt::NoModifier, inBox);
    form->edt_directory_URL->removeEventFilter(&onBox);
    EXPECT_FALSE(onBox.seen.contains(QString("%1:%2").arg(QEvent::MouseButtonPress).arg(2)));
    EXPECT_FALSE(onBox.seen.contains(QString("%1:0").arg(QEvent::ContextMenu)));
}

}  // namespace
