// The announcement worker started by the window: it reaches the page named by the environment,
// shows the caption and the first title on the main thread, and hands the list to the ticker.
#include <gtest/gtest.h>

#include <QTest>
#include <cstdlib>
#include <memory>
#include <string>

#include "announce/ad_thread.h"
#include "announce/announcement_address.h"
#include "announce/announcement_list.h"
#include "announce/shared_values.h"
#include "app/dialogs.h"
#include "app/unit1.h"
#include "tests/support/loopback_server.h"

namespace {

using tovalin::test::HttpResponseWithLength;
using tovalin::test::LoopbackServer;
using tovalin::test::ServerConnection;
using tovalin::test::SiteHandler;

constexpr int kWaitMs = 10000;

std::string Page() {
    std::string page = "<html><body>";
    for (int k = 1; k <= 13; ++k) {
        const std::string title =
            k == 13 ? "1.1"
                    : (k == 1 ? "<b>\xE6\xBE\x9C\xE9\xA1\xB5 one</b>" : "t" + std::to_string(k));
        page +=
            "<P>velkorntitle:" + title + "</P><P>velkornurl:http://x/" + std::to_string(k) + "</P>";
    }
    return page + "</body></html>";
}

class AnnouncementWorker : public ::testing::Test {
  protected:
    void SetUp() override {
        savedSeams = Dialogs();
        Dialogs().askYesNo = [this](const QString&, const QString&) {
            ++prompts;
            return false;
        };
        Dialogs().openAddress = [](const std::string&) {};
        form = std::make_unique<TForm1>();
        form->tmr_ad->stop();
        CurrentVersion = "1.0";
        TickCount = 0;
        NetworkFailed = 0;
        PublishAnnouncements(nullptr);
    }
    void TearDown() override {
        unsetenv(kAnnouncementAddressVariable);
        PublishAnnouncements(nullptr);
        form.reset();
        Dialogs() = savedSeams;
    }

    DialogSeams savedSeams;
    std::unique_ptr<TForm1> form;
    int prompts = 0;
};

TEST_F(AnnouncementWorker, ShowsTheCaptionAndFirstTitleThenTheTickerRuns) {
    LoopbackServer server(
        SiteHandler({{"/blog/announce.html", HttpResponseWithLength(200, {}, Page())}}));
    setenv(kAnnouncementAddressVariable, server.Url("/blog/announce.html").c_str(), 1);
    EXPECT_FALSE(form->lbl_guangbo1->isVisibleTo(form.get()));

    form->StartAnnouncementWorker();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return form->lbl_guangbo1->isVisibleTo(form.get()); }, kWaitMs));
    // Shown as plain text: the markup in a title is part of it.
    EXPECT_EQ(form->lbl_ad1->text(), QString::fromUtf8("<b>澜页 one</b>"));
    EXPECT_EQ(form->lbl_ad1->textFormat(), Qt::PlainText);
    ASSERT_NE(PublishedAnnouncements(), nullptr);
    EXPECT_EQ(PublishedAnnouncements()->latestVersion, "1.1");
    EXPECT_EQ(server.RequestCount(), 1u);

    form->tmr_adTimer(form->tmr_ad);
    EXPECT_EQ(form->lbl_ad1->text(), "t2");
    EXPECT_EQ(prompts, 1);
    EXPECT_EQ(NetworkFailed.load(), 0);
}

TEST_F(AnnouncementWorker, UnreachablePageSetsTheFailureFlagAndShowsNothing) {
    std::string address;
    {
        // A port that was just free: every connection attempt is refused.
        LoopbackServer closed([](ServerConnection&) {});
        address = closed.Url("/announce.html");
    }
    setenv(kAnnouncementAddressVariable, address.c_str(), 1);
    form->StartAnnouncementWorker();
    ASSERT_TRUE(QTest::qWaitFor([] { return NetworkFailed.load() == 1; }, kWaitMs));
    EXPECT_EQ(PublishedAnnouncements(), nullptr);
    QTest::qWait(50);
    EXPECT_FALSE(form->lbl_guangbo1->isVisibleTo(form.get()));
    EXPECT_EQ(form->lbl_ad1->text(), "");
}

TEST_F(AnnouncementWorker, WithNoAddressConfiguredNoWorkerStarts) {
    unsetenv(kAnnouncementAddressVariable);  // and the build names none
    form->StartAnnouncementWorker();
    EXPECT_EQ(TAdThread::Running(), 0);
    EXPECT_EQ(TAdThread::Launch([](const std::string&) {}), nullptr);
    QTest::qWait(100);
    form->tmr_adTimer(form->tmr_ad);
    EXPECT_EQ(NetworkFailed.load(), 0);  // so topic loads are never refused
    EXPECT_EQ(PublishedAnnouncements(), nullptr);
    EXPECT_FALSE(form->lbl_guangbo1->isVisibleTo(form.get()));
    EXPECT_EQ(form->lbl_ad1->text(), "");
    EXPECT_EQ(TickCount, 0);
}

TEST_F(AnnouncementWorker, WorkerDeletesItselfWhenDone) {
    LoopbackServer server(SiteHandler({{"/a", HttpResponseWithLength(200, {}, "<html></html>")}}));
    setenv(kAnnouncementAddressVariable, server.Url("/a").c_str(), 1);
    QPointer<TAdThread> worker = TAdThread::Launch([](const std::string&) {});
    ASSERT_TRUE(QTest::qWaitFor([&] { return worker.isNull(); }, kWaitMs));
    ASSERT_NE(PublishedAnnouncements(), nullptr);
    EXPECT_TRUE(PublishedAnnouncements()->items.empty());
}

}  // namespace
