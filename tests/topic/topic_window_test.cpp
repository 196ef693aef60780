// The window's topic reading, headless: Enter starts a load against a loopback site, the caption
// and the view show the opening post, the buttons and arrow keys step through the posts while
// the list grows.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTest>
#include <QThread>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "announce/shared_values.h"
#include "app/dialogs.h"
#include "app/reading.h"
#include "app/unit1.h"
#include "tests/topic/topic_site.h"
#include "topic/my_thread.h"
#include "topic/starter_values.h"

namespace {

using namespace topic_page;
using namespace topic_site;

// Waits with the event loop running, so the workers' synchronised steps get through.
bool WaitFor(const std::function<bool()>& done, int ms = 15000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

class TopicWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = Dialogs();
        Dialogs().showMessage = [this](const QString& text) { messages.append(text); };
        Dialogs().showError = [this](const QString& text) { errors.append(text); };
        NetworkFailed = 0;
        form = std::make_unique<TForm1>();
        form->StartAnnouncements = nullptr;  // no announcement page in these tests
    }

    void TearDown() override {
        // Workers are never awaited by the window; the test lets them finish before the window
        // goes, since their last steps are addressed to it.
        EXPECT_TRUE(WaitFor([] { return TMyThread::Running() == 0; }));
        QCoreApplication::processEvents();
        form.reset();
        Dialogs() = saved_;
    }

    QString Caption() const { return form->lbl_LZName->text(); }
    QString Status() const { return form->lbl_status->text(); }
    bool StatusBecomes(const char* text) {
        return WaitFor([&] { return Status() == QString::fromUtf8(text); });
    }
    // A key pressed and released in the view, as the user does after a click into the post.
    void KeyInView(Qt::Key key) {
        QWidget* view = form->wb1->engineView()->focusProxy();
        QTest::keyClick(view != nullptr ? view : form->wb1->engineView(), key);
    }

    // The markup the view shows now.
    QString ViewHtml() {
        QString html;
        bool done = false;
        form->wb1->engineView()->page()->toHtml([&](const QString& h) {
            html = h;
            done = true;
        });
        WaitFor([&] { return done; }, 5000);
        return html;
    }

    bool ViewShows(const QString& text) {
        return WaitFor([&] { return ViewHtml().contains(text); });
    }

    void PressEnter() { QTest::keyClick(form->edt_directory_URL, Qt::Key_Return); }
    void ReleaseArrow(Qt::Key key) { QTest::keyRelease(form->edt_directory_URL, key); }

    std::unique_ptr<TForm1> form;
    QStringList messages;
    QStringList errors;

  private:
    DialogSeams saved_;
};

TEST_F(TopicWindowTest, EnterLoadsTheTopicAndTheArrowsStepWhileTheListGrows) {
    TTopicSite site;
    site.pages["/t/1"] = Page(Starter("{base}/people/a/", "安娜") + Opening("<p>开篇帖子</p>") +
                              Reply("安娜", "<p>回复一</p>") + Reply("Bob", "b") +
                              Reply("安娜", "<p>回复二</p>") + Next("{base}/t/1?p=2"));
    site.pages["/t/1?p=2"] = Page(Reply("安娜", "<p>回复三</p>") + LastPageNext());
    auto gate = std::make_shared<std::atomic<bool>>(false);
    site.gates["/t/1?p=2"] = gate;
    const auto server = Serve(site);

    form->PostIndex = 5;
    form->edt_directory_URL->setText(QString::fromStdString("  " + server->Url("/t/1")));
    PressEnter();
    EXPECT_EQ(form->PostIndex, -1);
    EXPECT_TRUE(form->DoubleBuffered);

    ASSERT_TRUE(WaitFor([&] { return Caption() == QString::fromUtf8("[安娜] said : "); }));
    EXPECT_TRUE(ViewShows(QString::fromUtf8("<p>开篇帖子</p>")));
    EXPECT_TRUE(ViewShows(QStringLiteral("<div style=\"font-size:11px\">")));
    EXPECT_EQ(form->wb1->size(), QSize(538, 489));

    // The first page is published; the second is held back by the site.
    ASSERT_TRUE(WaitFor([&] { return form->PostList->Count() == 2; }));
    ReleaseArrow(Qt::Key_Left);  // nothing before the first post
    EXPECT_EQ(form->PostIndex, -1);
    ReleaseArrow(Qt::Key_Right);
    EXPECT_EQ(form->PostIndex, 0);
    EXPECT_TRUE(ViewShows(QString::fromUtf8("<p>回复一</p>")));
    form->btn_rightClick(form->btn_right);
    EXPECT_EQ(form->PostIndex, 1);
    EXPECT_TRUE(ViewShows(QString::fromUtf8("<p>回复二</p>")));
    form->btn_rightClick(form->btn_right);  // at the last post: refused until more arrive
    EXPECT_EQ(form->PostIndex, 1);

    gate->store(true);
    ASSERT_TRUE(WaitFor([&] { return form->PostList->Count() == 3; }));
    ReleaseArrow(Qt::Key_Right);
    EXPECT_EQ(form->PostIndex, 2);
    EXPECT_TRUE(ViewShows(QString::fromUtf8("<p>回复三</p>")));
    form->btn_leftClick(form->btn_left);
    form->btn_leftClick(form->btn_left);
    form->btn_leftClick(form->btn_left);  // refused at the first post
    EXPECT_EQ(form->PostIndex, 0);
    EXPECT_TRUE(ViewShows(QString::fromUtf8("<p>回复一</p>")));
    EXPECT_TRUE(errors.isEmpty());
}

// `tovalin URL`: the address from the command line is loaded as if typed and Enter pressed.
TEST_F(TopicWindowTest, AnAddressGivenAtStartIsLoaded) {
    TTopicSite site;
    site.pages["/t/7"] = Page(Starter("{base}/people/c/", "Cai") + Opening("<p>opening</p>") +
                              Reply("Cai", "<p>one</p>") + LastPageNext());
    const auto server = Serve(site);

    form->OpenTopic(QString::fromStdString(server->Url("/t/7")));
    EXPECT_EQ(form->edt_directory_URL->text().toStdString(), server->Url("/t/7"));
    EXPECT_EQ(form->PostIndex, -1);
    ASSERT_TRUE(WaitFor([&] { return Caption() == QStringLiteral("[Cai] said : "); }));
    EXPECT_TRUE(ViewShows(QStringLiteral("<p>opening</p>")));
    ASSERT_TRUE(WaitFor([&] { return form->PostList->Count() == 1; }));
}

TEST_F(TopicWindowTest, AFailedNetworkRefusesTheLoadWithAMessage) {
    const auto server = Serve({});
    NetworkFailed = 1;
    form->PostIndex = 3;
    form->edt_directory_URL->setText(QString::fromStdString(server->Url("/t/1")));
    PressEnter();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], QString::fromUtf8("网络连接或服务暂时遇到一些问题，请稍候再使用..."));
    EXPECT_EQ(form->PostIndex, 3);
    QTest::qWait(100);
    EXPECT_EQ(server->RequestCount(), 0u);
    EXPECT_EQ(TMyThread::Running(), 0);
}

TEST_F(TopicWindowTest, TheHiddenButtonLoadsWithoutResettingTheIndex) {
    TTopicSite site;
    site.pages["/t/2"] = Page(Starter("u", "Bo") + Opening("<p>bo</p>") + Reply("Bo", "x"));
    const auto server = Serve(site);
    form->PostIndex = 4;
    form->edt_directory_URL->setText(QString::fromStdString(server->Url("/t/2")));
    form->btn1Click(form->btn1);
    ASSERT_TRUE(WaitFor([&] { return form->PostList->Count() == 1; }));
    EXPECT_EQ(form->PostIndex, 4);
    EXPECT_EQ(Caption(), QStringLiteral("[Bo] said : "));
}

TEST_F(TopicWindowTest, StepBackPastAShorterListShowsItsLastPost) {
    SetStarter("u", "Cy");
    auto longer = std::make_shared<TPostList>();
    for (const char* post : {"p0", "p1", "p2", "p3", "p4"}) {
        longer->Add(post);
    }
    form->PostList = longer;
    form->PostIndex = 4;

    auto shorter = std::make_shared<TPostList>();
    shorter->Add("<p>short0</p>");
    shorter->Add("<p>short1</p>");
    form->PostList = shorter;  // another load published a shorter list
    form->btn_rightClick(form->btn_right);
    EXPECT_EQ(form->PostIndex, 4);  // refused by its guard
    form->btn_leftClick(form->btn_left);
    EXPECT_EQ(form->PostIndex, 1);
    EXPECT_EQ(Caption(), QStringLiteral("[Cy] said : "));
    EXPECT_TRUE(ViewShows(QStringLiteral("<p>short1</p>")));

    form->PostList = std::make_shared<TPostList>();
    form->PostIndex = 3;
    form->lbl_LZName->setText(QStringLiteral("unchanged"));
    form->btn_leftClick(form->btn_left);
    EXPECT_EQ(form->PostIndex, -1);
    EXPECT_EQ(Caption(), QStringLiteral("unchanged"));
    form->btn_rightClick(form->btn_right);
    EXPECT_EQ(form->PostIndex, -1);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(TopicWindowTest, AnAutoRepeatedEnterStartsNoLoad) {
    // Holding Enter repeats the key press; only the physical press starts a load.
    TTopicSite site;
    site.pages["/t/1"] = Page(Starter("u", "Ann") + Opening("<p>A</p>"));
    const auto server = Serve(site);
    form->edt_directory_URL->setText(QString::fromStdString(server->Url("/t/1")));
    form->PostIndex = 2;
    for (int i = 0; i < 5; ++i) {
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"),
                         /*autorep=*/true);
        QCoreApplication::sendEvent(form->edt_directory_URL, &repeat);
    }
    QTest::qWait(100);
    EXPECT_EQ(server->RequestCount(), 0u);
    EXPECT_EQ(form->PostIndex, 2);
    PressEnter();
    EXPECT_TRUE(WaitFor([&] { return server->RequestCount() == 1; }));
    EXPECT_EQ(form->PostIndex, -1);
}

TEST_F(TopicWindowTest, TheNewerLoadWinsAndTheSupersededOneStopsAtOnce) {
    // The first load waits for its second page, held back by the site, while a second load of
    // another topic runs. The first one's blocked read is cut, it publishes nothing more and
    // ends long before the site would have answered.
    TTopicSite site;
    site.pages["/a/1"] =
        Page(Starter("ua", "Ann") + Opening("<p>A</p>") + Reply("Ann", "a1") + Next("{base}/a/2"));
    site.pages["/a/2"] = Page(Reply("Ann", "a2") + Reply("Bob", "bob-in-a") + LastPageNext());
    site.pages["/b/1"] = Page(Starter("ub", "Bob") + Opening("<p>B</p>") + Reply("Bob", "b1"));
    auto gate = std::make_shared<std::atomic<bool>>(false);
    site.gates["/a/2"] = gate;
    const auto server = Serve(site);

    form->edt_directory_URL->setText(QString::fromStdString(server->Url("/a/1")));
    PressEnter();
    ASSERT_TRUE(WaitFor([&] { return form->PostList->Count() == 1; }));
    EXPECT_EQ(Caption(), QStringLiteral("[Ann] said : "));
    const std::shared_ptr<TPostList> listA = form->PostList;
    ASSERT_TRUE(WaitFor([&] { return server->RequestCount() == 2; }));  // blocked on /a/2

    form->edt_directory_URL->setText(QString::fromStdString(server->Url("/b/1")));
    PressEnter();
    EXPECT_EQ(form->PostIndex, -1);
    // Well within the site's hold on /a/2 (kGateWait): the cut read ended the first load.
    ASSERT_TRUE(WaitFor([] { return TMyThread::Running() == 0; }, 5000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(ViewShows(QStringLiteral("<p>B</p>")));
    EXPECT_EQ(Caption(), QStringLiteral("[Bob] said : "));
    EXPECT_EQ(StarterName(), "Bob");
    EXPECT_EQ(form->PostList->Snapshot(), (std::vector<std::string>{"b1\n"}));
    EXPECT_EQ(listA->Count(), 1);  // the first load stopped collecting as well

    gate->store(true);
    QTest::qWait(100);
    // The cut read was no failed try: /a/2 was asked for once.
    EXPECT_EQ(server->RequestCount(), 3u);
    EXPECT_EQ(Caption(), QStringLiteral("[Bob] said : "));
    EXPECT_EQ(form->PostList->Snapshot(), (std::vector<std::string>{"b1\n"}));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(TopicWindowTest, ALoadSupersededBeforeItsFirstPageShowsNothing) {
    // The first load's opening page is held back; the second load shows its topic. When the
    // hold ends, nothing of the first topic (name, caption, opening post, list) comes up.
    TTopicSite site;
    site.pages["/a/1"] = Page(Starter("ua", "Ann") + Opening("<p>A</p>") + Reply("Ann", "a1"));
    site.pages["/b/1"] = Page(Starter("ub", "Bob") + Opening("<p>B</p>") + Reply("Bob", "b1"));
    auto gate = std::make_shared<std::atomic<bool>>(false);
    site.gates["/a/1"] = gate;
    const auto server = Serve(site);

    form->edt_directory_URL->setText(QString::fromStdString(server->Url("/a/1")));
    PressEnter();
    ASSERT_TRUE(WaitFor([&] { return server->RequestCount() == 1; }));
    form->edt_directory_URL->setText(QString::fromStdString(server->Url("/b/1")));
    PressEnter();
    ASSERT_TRUE(WaitFor([] { return TMyThread::Running() == 0; }, 5000));
    gate->store(true);
    QTest::qWait(100);
    QCoreApplication::processEvents();
    EXPECT_TRUE(ViewShows(QStringLiteral("<p>B</p>")));
    EXPECT_EQ(Caption(), QStringLiteral("[Bob] said : "));
    EXPECT_EQ(StarterName(), "Bob");
    EXPECT_EQ(form->PostList->Snapshot(), (std::vector<std::string>{"b1\n"}));
    EXPECT_EQ(server->RequestCount(), 2u);
}

// The status line says what the load is doing, which post of how many is shown, when the end
// is reached, and in words why a load found nothing.
TEST_F(TopicWindowTest, TheStatusLineFollowsTheLoadAndSaysWhyItFailed) {
    TTopicSite site;
    site.pages["/t/1"] =
        Page(Starter("u", "安娜") + Opening("<p>开篇</p>") + Reply("安娜", "<p>r1</p>") +
             Reply("安娜", "<p>r2</p>") + Next("{base}/t/1?p=2"));
    site.pages["/t/1?p=2"] = Page(Reply("安娜", "<p>r3</p>") + LastPageNext());
    site.pages["/plain"] = "<html><body><p>no topic here</p></body></html>";
    auto gate = std::make_shared<std::atomic<bool>>(false);
    site.gates["/t/1?p=2"] = gate;
    const auto server = Serve(site);

    form->show();
    form->edt_directory_URL->setText(QString::fromStdString(server->Url("/t/1")));
    PressEnter();
    EXPECT_EQ(Status(), QString::fromUtf8("正在载入第 1 页…"));
    ASSERT_TRUE(StatusBecomes("第 1 / 3 帖　正在载入第 2 页…"));
    KeyInView(Qt::Key_Right);
    KeyInView(Qt::Key_Right);
    EXPECT_EQ(form->PostIndex, 1);
    EXPECT_EQ(Status(), QString::fromUtf8("第 3 / 3 帖　正在载入第 2 页…"));
    form->btn_rightClick(form->btn_right);
    EXPECT_EQ(Status(), QString::fromUtf8("第 3 / 3 帖　已是目前最后一帖　正在载入第 2 页…"));
    gate->store(true);
    ASSERT_TRUE(StatusBecomes("第 3 / 4 帖"));
    form->btn_rightClick(form->btn_right);
    form->btn_rightClick(form->btn_right);
    EXPECT_EQ(Status(), QString::fromUtf8("第 4 / 4 帖　已是最后一帖"));

    // A page that is no topic page.
    form->edt_directory_URL->setText(QString::fromStdString(server->Url("/plain")));
    PressEnter();
    ASSERT_TRUE(StatusBecomes("此页不是话题页面"));

    // A port nobody listens on: refused on every attempt.
    const std::string closed = server->Url("/t/1");
    server->Stop();
    form->edt_directory_URL->setText(QString::fromStdString(closed));
    PressEnter();
    ASSERT_TRUE(StatusBecomes("第 1 / 1 帖　载入失败：连接被拒绝")) << Status().toStdString();
    EXPECT_TRUE(errors.isEmpty());
}

// Home and End from the view; the post shown last in a topic comes back when the topic is loaded
// again, once its pages have come that far.
TEST_F(TopicWindowTest, HomeEndAndThePostShownLastInATopic) {
    TTopicSite site;
    site.pages["/a"] = Page(Starter("u", "Ann") + Opening("<p>A0</p>") + Reply("Ann", "<p>A1</p>") +
                            Reply("Ann", "<p>A2</p>") + Next("{base}/a?p=2"));
    site.pages["/a?p=2"] = Page(Reply("Ann", "<p>A3</p>") + LastPageNext());
    site.pages["/b"] = Page(Starter("u", "Bob") + Opening("<p>B0</p>") + Reply("Bob", "<p>B1</p>"));
    const auto server = Serve(site);
    const QString a = QString::fromStdString(server->Url("/a"));
    form->show();

    form->edt_directory_URL->setText(a);
    PressEnter();
    ASSERT_TRUE(StatusBecomes("第 1 / 4 帖"));
    KeyInView(Qt::Key_End);
    EXPECT_EQ(form->PostIndex, 2);
    EXPECT_TRUE(ViewShows("<p>A3</p>"));
    KeyInView(Qt::Key_Home);
    EXPECT_EQ(form->PostIndex, -1);
    EXPECT_TRUE(ViewShows("<p>A0</p>"));
    EXPECT_EQ(Status(), QString::fromUtf8("第 1 / 4 帖"));
    KeyInView(Qt::Key_PageDown);
    KeyInView(Qt::Key_PageDown);
    KeyInView(Qt::Key_PageDown);
    KeyInView(Qt::Key_PageUp);
    EXPECT_EQ(form->PostIndex, 1);
    EXPECT_TRUE(ViewShows("<p>A2</p>"));

    form->edt_directory_URL->setText(QString::fromStdString(server->Url("/b")));
    PressEnter();
    ASSERT_TRUE(StatusBecomes("第 1 / 2 帖"));

    form->edt_directory_URL->setText(a);
    PressEnter();
    ASSERT_TRUE(WaitFor([&] { return form->PostIndex == 1; }));
    EXPECT_TRUE(ViewShows("<p>A2</p>"));
    ASSERT_TRUE(StatusBecomes("第 3 / 4 帖"));
    EXPECT_EQ(form->Reading->memory->LastTopic(), a);
    EXPECT_EQ(form->Reading->memory->RecentTopics().front(), a);
    EXPECT_TRUE(errors.isEmpty());
}

}  // namespace
