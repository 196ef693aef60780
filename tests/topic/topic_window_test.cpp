// The window's topic reading, headless: Enter starts a load against a loopback site, the caption
// and the view show the opening post, the buttons and arrow keys step through the posts while
// the list grows.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
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

    form->LoadAtStart(QString::fromStdString(server->Url("/t/7")));
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

TEST_F(TopicWindowTest, TwoLoadsAtOnceShowWhatWasPublishedLast) {
    // The first load waits for its second page while a second load of another topic runs. The
    // earlier load then follows the new starter's name on its remaining page and, publishing
    // last, its list is the one the window shows.
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
    form->btn_rightClick(form->btn_right);
    EXPECT_EQ(form->PostIndex, 0);

    form->edt_directory_URL->setText(QString::fromStdString(server->Url("/b/1")));
    PressEnter();
    EXPECT_EQ(form->PostIndex, -1);
    ASSERT_TRUE(WaitFor([&] { return form->PostList != listA; }));
    EXPECT_TRUE(ViewShows(QStringLiteral("<p>B</p>")));
    EXPECT_EQ(Caption(), QStringLiteral("[Bob] said : "));
    EXPECT_EQ(form->PostList->Snapshot(), (std::vector<std::string>{"b1\n"}));

    gate->store(true);
    ASSERT_TRUE(WaitFor([] { return TMyThread::Running() == 0; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(form->PostList, listA);
    EXPECT_EQ(form->PostList->Snapshot(), (std::vector<std::string>{"a1\n", "bob-in-a\n"}));
    EXPECT_EQ(form->PostIndex, -1);  // publishing never moves the index
}

}  // namespace
