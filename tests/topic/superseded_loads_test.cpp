// Many loads in a row against a slow sample site, headless: each new Enter supersedes the load
// before it, whose blocked read is cut, so the threads and descriptors of the process come back
// to their resting count instead of piling up behind the site's delay.
#include <gtest/gtest.h>

#include <dirent.h>
#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <memory>
#include <string>

#include "announce/shared_values.h"
#include "app/dialogs.h"
#include "app/unit1.h"
#include "tests/tools/site_process.h"
#include "topic/my_thread.h"

namespace {

// The site answers every later topic page only after this wait: far longer than the test waits
// for the superseded loads to end.
constexpr int kSiteDelayMs = 20000;
constexpr int kLoads = 50;
constexpr int kEndWaitMs = 5000;
// A page the site does not have: a load of it gives up after its quick repeats.
constexpr const char* kNoTopic = "/no/such/page";

int CountEntries(const char* folder) {
    DIR* dir = opendir(folder);
    if (dir == nullptr) {
        return -1;
    }
    int count = 0;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') {
            ++count;
        }
    }
    closedir(dir);
    return count;
}

// Lets the finished workers' deferred deletions and any winding-down threads go.
void Settle() {
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
    }
}

TEST(SupersededLoads, ThreadsAndDescriptorsReturnToRestAfterFiftySupersededLoads) {
    const DialogSeams saved = Dialogs();
    Dialogs().showMessage = [](const QString&) {};
    Dialogs().showError = [](const QString&) {};
    NetworkFailed = 0;
    tovalin::test::SampleSiteProcess site({"--delay-ms", std::to_string(kSiteDelayMs)});
    auto form = std::make_unique<TForm1>();
    form->StartAnnouncements = nullptr;
    // The view's own connections for the posts' pictures come and go on the engine's schedule;
    // they are not what is counted here.
    form->wb1->engineView()->settings()->setAttribute(QWebEngineSettings::AutoLoadImages, false);
    const auto load = [&](const std::string& path) {
        form->edt_directory_URL->setText(QString::fromStdString(site.Url(path)));
        QTest::keyClick(form->edt_directory_URL, Qt::Key_Return);
    };

    // Loads of the slow topic, each superseded by the next, and a last one that ends quickly.
    // Each reads its first page at once and then waits on the slow second page.
    const auto supersededLoads = [&](int loads) {
        for (int i = 0; i < loads; ++i) {
            load("/group/topic/1001/");
            QTest::qWait(20);
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return form->PostList->Count() > 0; }, kEndWaitMs));
        EXPECT_GE(TMyThread::Running(), 1);
        load(kNoTopic);
        // Well before the site answers any second page.
        EXPECT_TRUE(QTest::qWaitFor([] { return TMyThread::Running() == 0; }, kEndWaitMs));
        EXPECT_EQ(form->PostList->Count(), 0);  // the last load found no page
        Settle();
    };

    // A few first, so that everything the window and its view start on first use is there
    // before the resting count is taken.
    supersededLoads(3);
    const int restingThreads = CountEntries("/proc/self/task");
    const int restingDescriptors = CountEntries("/proc/self/fd");

    supersededLoads(kLoads);
    EXPECT_EQ(CountEntries("/proc/self/task"), restingThreads);
    EXPECT_EQ(CountEntries("/proc/self/fd"), restingDescriptors);

    form.reset();
    Dialogs() = saved;
}

}  // namespace
