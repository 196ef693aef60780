// The real tovalin binary under a private X server, for what its two workers may and may not do:
// with no announcement address the ticker stays empty and topics load; of two loads the newer
// one alone reaches the window; an announcement's address that is no web address never reaches
// the desktop opener (a stand-in "xdg-open" on PATH records what it is given).

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "tests/e2e/child_process.h"
#include "tests/e2e/window_under_test.h"
#include "tests/e2e/x_session.h"
#include "tests/support/loopback_server.h"
#include "tests/tools/site_process.h"
#include "tools/sample-site/sample_topic.h"

namespace tovalin::e2e {
namespace {

using namespace std::chrono_literals;
using tovalin::test::SampleSiteProcess;

// The whole ticker row, caption and title (client coordinates).
constexpr Rect kTicker{16, 706, 628, 22};
// The ticker's timer period, and a margin for a loaded machine.
constexpr auto kTick = 6s;
constexpr auto kTickMargin = 4s;

// The program on its own X server, with the environment a case gives it.
class ProgramRun {
  public:
    ProgramRun(const std::string& folder, std::map<std::string, std::string> env)
        : folder_(folder), x_(folder + "/xvfb.log") {
        env["DISPLAY"] = x_.Display();
        env["QT_QPA_PLATFORM"] = "xcb";
        env["QTWEBENGINE_DISABLE_SANDBOX"] = "1";
        app_ = std::make_unique<ChildProcess>(std::vector<std::string>{ProgramUnderTest()}, env,
                                              folder + "/tovalin.log");
        const auto window = x_.WaitForWindow(app_->Pid(), kWindowWait);
        if (window) {
            window_ = *window;
        }
    }

    bool HasWindow() const { return !window_.id.empty(); }
    const Rect& W() const { return window_.area; }
    XSession& X() { return x_; }
    ChildProcess& App() { return *app_; }

    Screenshot Shoot(const std::string& name) { return x_.Shoot(folder_, name); }
    template <typename Predicate>
    bool ShootUntil(const std::string& name, std::chrono::seconds wait, Predicate seen) {
        const auto deadline = std::chrono::steady_clock::now() + wait;
        for (;;) {
            if (seen(Shoot(name))) {
                return true;
            }
            if (std::chrono::steady_clock::now() >= deadline || !app_->Running()) {
                return false;
            }
            std::this_thread::sleep_for(250ms);
        }
    }

    void Load(const std::string& address) {
        x_.Focus(window_.id);
        x_.Click(W().x + kAddressBox.x + 200, W().y + kAddressBox.y + kAddressBox.height / 2);
        x_.Key("ctrl+a");
        x_.Key("BackSpace");
        x_.Type(address);
        x_.Key("Return");
    }

  private:
    std::string folder_;
    XSession x_;
    std::unique_ptr<ChildProcess> app_;
    XSession::Window window_;
};

class WorkersE2E : public ::testing::Test {
  protected:
    void SetUp() override { SkipWithoutXTools(); }
};

TEST_F(WorkersE2E, WithNoAnnouncementAddressTheTickerStaysEmptyAndATopicLoads) {
    const std::string folder = OutputFolder();
    SampleSiteProcess site({"--idle-exit", "300"});
    // An empty value removes the variable: the build's own setting (none) holds.
    ProgramRun run(folder, {{"TOVALIN_ANNOUNCE_URL", ""}});
    ASSERT_TRUE(run.HasWindow()) << "no window; see " << folder << "/tovalin.log";
    const Rect w = run.W();

    run.Load(site.Url("/group/topic/1001/"));
    ASSERT_TRUE(run.ShootUntil("01-opening-post.png", kShowWait, [&](const Screenshot& s) {
        return ShowsPost(s, w, 0);
    })) << "the opening post did not appear";
    EXPECT_FALSE(run.X().WaitForDialog(run.App().Pid(), 1s)) << "a load was refused";
    // Past the first tick: nothing to show, so the ticker's caption and title stay blank.
    std::this_thread::sleep_for(kTick + kTickMargin);
    const Screenshot later = run.Shoot("02-after-first-tick.png");
    EXPECT_LT(later.CountDark(Offset(kTicker, w)), kTextPixels) << "the ticker shows something";
    EXPECT_FALSE(run.X().WaitForDialog(run.App().Pid(), 1s)) << "a prompt or message appeared";
}

TEST_F(WorkersE2E, OfTwoLoadsOnlyTheNewerOneReachesTheWindow) {
    const std::string folder = OutputFolder();
    // Later pages of a topic take this long; the first load asks for one of them as its first
    // page, so the second load has shown its topic long before the first could.
    constexpr int kPageDelayMs = 6000;
    SampleSiteProcess site({"--idle-exit", "300", "--delay-ms", std::to_string(kPageDelayMs)});
    ProgramRun run(folder, {{"TOVALIN_ANNOUNCE_URL", ""}});
    ASSERT_TRUE(run.HasWindow()) << "no window; see " << folder << "/tovalin.log";
    const Rect w = run.W();

    // The first load: a later page of the big topic (no opening post on it).
    run.Load(site.Url("/group/topic/2001/?start=100"));
    // The second: the sample topic, whose first page comes at once.
    run.Load(site.Url("/group/topic/1001/"));
    ASSERT_TRUE(run.ShootUntil("01-newer-topic.png", kShowWait, [&](const Screenshot& s) {
        return ShowsPost(s, w, 0);
    })) << "the newer load's opening post did not appear";
    const int caption = run.Shoot("01-newer-topic.png").CountDark(Offset(kCaptionLabel, w));
    EXPECT_GE(caption, kTextPixels);

    // Past the moment the first load's page would have come: the window still shows the
    // newer topic's opening post under the same caption.
    std::this_thread::sleep_for(std::chrono::milliseconds(kPageDelayMs) + kTickMargin);
    const Screenshot after = run.Shoot("02-after-the-older-page.png");
    EXPECT_TRUE(ShowsPost(after, w, 0)) << "the older load replaced the opening post";
    EXPECT_EQ(after.CountDark(Offset(kCaptionLabel, w)), caption) << "the caption changed";

    // The list is the newer topic's: the next post is its first reply.
    run.X().Key("Right");
    EXPECT_TRUE(run.ShootUntil("03-next-post.png", kShowWait, [&](const Screenshot& s) {
        return ShowsPost(s, w, 1) && !ShowsPost(s, w, 0);
    })) << "the next post is not the newer topic's first reply";
}

TEST_F(WorkersE2E, AnAnnouncementsFileAddressNeverReachesTheOpener) {
    const std::string folder = OutputFolder();
    // A stand-in opener first on PATH: it records each address it is given, and the graphics
    // setting the program made for its own start, which the opener must not inherit.
    const std::string opened = folder + "/opened.txt";
    const std::string inherited = folder + "/opener-gl.txt";
    RunCommand("rm -f '" + opened + "' '" + inherited + "'");
    const std::string opener = folder + "/xdg-open";
    {
        std::ofstream script(opener);
        script << "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" << opened << "'\n"
               << "printf '%s\\n' \"${QT_XCB_GL_INTEGRATION-unset}\" >> '" << inherited << "'\n";
    }
    RunCommand("chmod +x '" + opener + "'");

    // A hostile page: the first title leads to a local file, every other one to a web address, so
    // whichever later title a loaded machine's ticker has reached, its click reaches the opener.
    // It announces the running version, so no update question comes.
    const std::string web = "http://127.0.0.1:9/news.html";
    std::string page = "<html><body>";
    page += "<P>velkorntitle:FILE</P><P>velkornurl:file:///etc/passwd</P>";
    page += "<P>velkorntitle:WEB</P><P>velkornurl:" + web + "</P>";
    for (int k = 3; k <= 12; ++k) {
        page += "<P>velkorntitle:t" + std::to_string(k) + "</P><P>velkornurl:" + web + "</P>";
    }
    page += "<P>velkorntitle:1.0</P><P>velkornurl:file:///usr/bin/xterm</P></body></html>";
    tovalin::test::LoopbackServer announcements(
        tovalin::test::SiteHandler(
            {{"/announce.html", tovalin::test::HttpResponseWithLength(200, {}, page)}}),
        120s);

    const char* path = std::getenv("PATH");
    ProgramRun run(folder, {{"TOVALIN_ANNOUNCE_URL", announcements.Url("/announce.html")},
                            {"PATH", folder + ":" + (path != nullptr ? path : "/usr/bin:/bin")}});
    ASSERT_TRUE(run.HasWindow()) << "no window; see " << folder << "/tovalin.log";
    const Rect w = run.W();
    const auto titleShown = [&](const Screenshot& s) {
        return s.CountDark(Offset(kTickerTitle, w)) >= kTextPixels / 2;
    };
    ASSERT_TRUE(run.ShootUntil("01-ticker.png", kShowWait, titleShown)) << "no ticker title";

    // The first title (its address a local file): an error that names it, nothing opened.
    run.X().Click(w.x + kTickerTitle.x + 4, w.y + kTickerTitle.y + 11);
    const auto error = run.X().WaitForDialog(run.App().Pid(), 10s);
    ASSERT_TRUE(error) << "no error shown for the file address";
    run.Shoot("02-refused.png");
    run.X().Focus(error->id);
    run.X().Key("Return");
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(ReadFile(opened), "") << "the opener was given a file address";

    // A tick puts a later title up; its web address does reach the opener, so the stand-in is
    // the one the program calls.
    std::this_thread::sleep_for(kTick);
    run.X().Click(w.x + kTickerTitle.x + 4, w.y + kTickerTitle.y + 11);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (ReadFile(opened).empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(200ms);
    }
    EXPECT_EQ(ReadFile(opened), web + "\n");
    EXPECT_EQ(ReadFile(inherited), "unset\n");
}

}  // namespace
}  // namespace tovalin::e2e
