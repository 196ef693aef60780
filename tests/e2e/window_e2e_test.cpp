// The real tovalin binary under a private X server, reading the bundled sample site: the shaped
// window appears, the ticker shows the announcements and the update question comes once (it is
// answered No), typing a topic address and Enter shows
// the opening post under the starter's caption, the arrow keys and the next button step through
// the starter's posts, and closing ends the process even while a load is running.
//
// What the window shows is judged from screenshots: every post of the starter on the sample
// site opens with a banner in a colour of its own, so the post on display can be told apart by
// its pixels. Screenshots of every stage are kept in the test's output folder.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "tests/e2e/child_process.h"
#include "tests/e2e/x_session.h"
#include "tests/tools/site_process.h"
#include "tools/sample-site/sample_site.h"
#include "tools/sample-site/sample_topic.h"

namespace tovalin::e2e {
namespace {

using namespace std::chrono_literals;
using tovalin::test::SampleSiteProcess;

// The window's fixed layout (client coordinates).
constexpr int kWindowWidth = 670;
constexpr int kWindowHeight = 730;
constexpr Rect kView{66, 200, 538, 489};
constexpr Rect kAddressBox{144, 98, 521, 25};
constexpr Rect kCaptionLabel{40, 156, 400, 26};
constexpr Rect kTickerCaption{16, 706, 85, 22};
constexpr Rect kTickerTitle{104, 706, 540, 22};
constexpr Rect kNextButton{596, 320, 69, 120};
constexpr Rect kCloseButton{581, 9, 56, 65};

// The web view starts its own processes; on a loaded two-core machine that takes a while.
constexpr auto kWindowWait = 60s;
constexpr auto kShowWait = 30s;
constexpr auto kExitWait = 10s;
// A banner is 480 x 48 pixels; seeing a good part of it means the post is on display.
constexpr int kBannerPixels = 480 * 48 / 2;
// Anti-aliased text of a short line gives at least this many dark pixels.
constexpr int kTextPixels = 40;
// The ticker's first counted tick comes at most two timer periods after the window appears.
constexpr auto kPromptWait = 20s;

std::string OutputFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string folder = std::string(TOVALIN_E2E_OUTPUT_DIR) + "/" + info->name();
    RunCommand("mkdir -p '" + folder + "'");
    return folder;
}

// The binary built beside this test, or another one (an installed package's, say) named by
// TOVALIN_E2E_BINARY.
std::string ProgramUnderTest() {
    const char* other = std::getenv("TOVALIN_E2E_BINARY");
    return other != nullptr && *other != '\0' ? other : TOVALIN_BINARY;
}

Rect Offset(Rect r, const Rect& window) {
    return Rect{window.x + r.x, window.y + r.y, r.width, r.height};
}

// Everything one run needs: the site, the X server and the program, stopped in reverse order.
class WindowRun {
  public:
    WindowRun(const std::vector<std::string>& siteArgs, const std::string& announcementPath,
              const std::string& folder)
        : folder_(folder), site_(siteArgs), x_(folder + "/xvfb.log") {
        const std::map<std::string, std::string> env{
            {"DISPLAY", x_.Display()},
            {"QT_QPA_PLATFORM", "xcb"},
            {"QTWEBENGINE_DISABLE_SANDBOX", "1"},
            {"QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu"},
            {"TOVALIN_TOPIC_URL", site_.Url("/group/topic/1001/")},
            {"TOVALIN_ANNOUNCE_URL", site_.Url(announcementPath)},
        };
        app_ = std::make_unique<ChildProcess>(std::vector<std::string>{ProgramUnderTest()}, env,
                                              folder + "/tovalin.log");
    }

    XSession& X() { return x_; }
    ChildProcess& App() { return *app_; }
    SampleSiteProcess& Site() { return site_; }
    Screenshot Shoot(const std::string& name) { return x_.Shoot(folder_, name); }

    // Takes screenshots until `seen` holds or the wait passes; the last one is kept as `name`.
    template <typename Predicate>
    bool ShootUntil(const std::string& name, std::chrono::seconds wait, Predicate seen) {
        const auto deadline = std::chrono::steady_clock::now() + wait;
        for (;;) {
            const Screenshot shot = Shoot(name);
            if (seen(shot)) {
                return true;
            }
            if (std::chrono::steady_clock::now() >= deadline || !app_->Running()) {
                return false;
            }
            std::this_thread::sleep_for(250ms);
        }
    }

  private:
    std::string folder_;
    SampleSiteProcess site_;
    XSession x_;
    std::unique_ptr<ChildProcess> app_;
};

class WindowE2E : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool", "xprop", "import", "convert"}) {
            if (!HaveProgram(tool)) {
                GTEST_SKIP() << tool
                             << " is not installed (Debian: xvfb, xdotool, x11-utils, imagemagick)";
            }
        }
    }
};

// Whether the starter's post k is on display in the view.
bool ShowsPost(const Screenshot& shot, const Rect& window, int k) {
    return shot.CountColour(Offset(kView, window), ParseColour(StarterBannerColour(k))) >=
           kBannerPixels;
}

TEST_F(WindowE2E, ReadsTheSampleTopicThroughAddressBoxArrowsAndButtons) {
    const std::string folder = OutputFolder();
    WindowRun run({"--idle-exit", "300"}, "/blog/post/announce.html", folder);
    const auto window = run.X().WaitForWindow(run.App().Pid(), kWindowWait);
    ASSERT_TRUE(window) << "no window; see " << folder << "/tovalin.log";
    const std::string id = window->id;
    const Rect w = window->area;
    EXPECT_EQ(w.width, kWindowWidth);
    EXPECT_EQ(w.height, kWindowHeight);
    EXPECT_EQ(w.x, (1280 - kWindowWidth) / 2);
    EXPECT_EQ(w.y, (1024 - kWindowHeight) / 2);

    // Shown: once its face is painted, its four corners are cut out so the (black) root shows
    // through; the key grey, or the face, would show there if the shape were missing.
    auto painted = [&](const Screenshot& s) {
        const Rgb p = s.At(w.x + w.width / 2, w.y + 150);
        return p.r != 0 || p.g != 0 || p.b != 0;
    };
    ASSERT_TRUE(run.ShootUntil("01-window-shown.png", kShowWait, painted))
        << "the window's face was never painted";
    const Screenshot shown = run.Shoot("01-window-shown.png");
    for (const auto& [cx, cy] :
         {std::pair{w.x, w.y}, std::pair{w.x + w.width - 1, w.y},
          std::pair{w.x, w.y + w.height - 1}, std::pair{w.x + w.width - 1, w.y + w.height - 1}}) {
        const Rgb p = shown.At(cx, cy);
        EXPECT_TRUE(p.r == 0 && p.g == 0 && p.b == 0)
            << "corner " << cx << "," << cy << " is " << int(p.r) << "," << int(p.g) << ","
            << int(p.b);
    }
    const int captionBefore = shown.CountDark(Offset(kCaptionLabel, w));

    // The ticker: caption "澜页留声机 ：" and the first title, fetched from the announcement page.
    EXPECT_TRUE(run.ShootUntil("02-ticker.png", kShowWait, [&](const Screenshot& s) {
        return s.CountDark(Offset(kTickerCaption, w)) >= kTextPixels &&
               s.CountDark(Offset(kTickerTitle, w)) >= kTextPixels;
    })) << "the ticker shows no caption or no title";

    // The page announces 1.1, newer than the running 1.0: the first counted tick asks once.
    // It is a modal box; answering No (Escape) gives the window back.
    const auto prompt = run.X().WaitForDialog(run.App().Pid(), kPromptWait);
    EXPECT_TRUE(prompt) << "no update prompt appeared";
    if (prompt) {
        run.Shoot("03-update-prompt.png");
        run.X().Focus(prompt->id);
        run.X().Key("Escape");
        EXPECT_TRUE(run.ShootUntil(
            "03-update-prompt-answered.png", kShowWait,
            [&](const Screenshot&) { return !run.X().Visible(run.App().Pid(), prompt->id); }))
            << "the update prompt did not go away";
    }

    // Typing the topic's address and Enter: the opening post under "[青溪旧客] said : ".
    run.X().Focus(id);
    run.X().Click(w.x + kAddressBox.x + 200, w.y + kAddressBox.y + kAddressBox.height / 2);
    run.X().Key("ctrl+a");
    run.X().Key("BackSpace");
    run.X().Type(run.Site().Url("/group/topic/1001/"));
    run.X().Key("Return");
    EXPECT_TRUE(run.ShootUntil("04-opening-post.png", kShowWait, [&](const Screenshot& s) {
        return ShowsPost(s, w, 0);
    })) << "the opening post did not appear";
    const Screenshot opening = run.Shoot("04-opening-post.png");
    // The window alone, as the project's documentation shows it.
    RunCommand("convert '" + folder + "/04-opening-post.png' -crop " + std::to_string(w.width) +
               "x" + std::to_string(w.height) + "+" + std::to_string(w.x) + "+" +
               std::to_string(w.y) + " +repage '" + folder + "/window-opening-post.png'");
    EXPECT_GE(opening.CountDark(Offset(kCaptionLabel, w)) - captionBefore, kTextPixels)
        << "no caption over the post";

    // Right arrow in the address box: the starter's first reply.
    run.X().Key("Right");
    EXPECT_TRUE(run.ShootUntil("05-right-arrow.png", kShowWait, [&](const Screenshot& s) {
        return ShowsPost(s, w, 1) && !ShowsPost(s, w, 0);
    })) << "the right arrow did not step to the next post";

    // The next button: the second reply.
    run.X().Click(w.x + kNextButton.x + kNextButton.width / 2,
                  w.y + kNextButton.y + kNextButton.height / 2);
    EXPECT_TRUE(run.ShootUntil("06-next-button.png", kShowWait, [&](const Screenshot& s) {
        return ShowsPost(s, w, 2) && !ShowsPost(s, w, 1);
    })) << "the next button did not step to the next post";

    // Left arrow (the address box still has the focus: buttons take none): back to the first.
    run.X().Click(w.x + kAddressBox.x + 200, w.y + kAddressBox.y + kAddressBox.height / 2);
    run.X().Key("Left");
    EXPECT_TRUE(run.ShootUntil("07-left-arrow.png", kShowWait, [&](const Screenshot& s) {
        return ShowsPost(s, w, 1) && !ShowsPost(s, w, 2);
    })) << "the left arrow did not step back";

    // The close button ends the program.
    run.X().Click(w.x + kCloseButton.x + kCloseButton.width / 2,
                  w.y + kCloseButton.y + kCloseButton.height / 2);
    const auto status = run.App().WaitForExit(kExitWait);
    ASSERT_TRUE(status) << "still running after the close button";
    EXPECT_EQ(*status, 0);
}

TEST_F(WindowE2E, ClosingWhileALoadRunsEndsTheProcess) {
    const std::string folder = OutputFolder();
    // Every later page takes two seconds, so the twelve-page load is far from done when the
    // window closes.
    constexpr int kPageDelayMs = 2000;
    // The announcement page names the running version, so no prompt gets in the way.
    WindowRun run({"--idle-exit", "300", "--delay-ms", std::to_string(kPageDelayMs)},
                  "/blog/post/announce-current.html", folder);
    const auto window = run.X().WaitForWindow(run.App().Pid(), kWindowWait);
    ASSERT_TRUE(window) << "no window; see " << folder << "/tovalin.log";
    const std::string id = window->id;
    const Rect w = window->area;

    // The address box starts with the sample topic: Enter alone starts the load.
    run.X().Focus(id);
    run.X().Click(w.x + kAddressBox.x + 200, w.y + kAddressBox.y + kAddressBox.height / 2);
    const auto enter = std::chrono::steady_clock::now();
    run.X().Key("Return");
    ASSERT_TRUE(run.ShootUntil("01-loading.png", kShowWait, [&](const Screenshot& s) {
        return ShowsPost(s, w, 0);
    })) << "the opening post did not appear";

    run.X().Click(w.x + kCloseButton.x + kCloseButton.width / 2,
                  w.y + kCloseButton.y + kCloseButton.height / 2);
    const auto status = run.App().WaitForExit(kExitWait);
    const auto closedAfter = std::chrono::steady_clock::now() - enter;
    ASSERT_TRUE(status) << "the process waited for its load";
    EXPECT_EQ(*status, 0);
    // The load could not have finished: its eleven later pages need 22 s at the least.
    EXPECT_LT(closedAfter, std::chrono::milliseconds(11 * kPageDelayMs));
}

}  // namespace
}  // namespace tovalin::e2e
