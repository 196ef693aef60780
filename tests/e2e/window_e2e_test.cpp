// The real tovalin binary under a private X server, reading the bundled sample site: the shaped
// window appears, the ticker shows the announcements and the update question comes once (it is
// answered No), typing a topic address and Enter shows the opening post under the starter's
// caption, the arrow keys (from the address box and from the view) and the next button step
// through the starter's posts, a held key steps once, "%" and "'" typed into the address never
// step, the status line names what happens and why a load found nothing, a post of megabytes
// shows, the reading comes back after a restart, and closing ends the process even while a load
// is running.
//
// What the window shows is judged from screenshots: every post of the starter on the sample
// site opens with a banner in a colour of its own, so the post on display can be told apart by
// its pixels. The status line's texts are read from the program's log (TOVALIN_STATUS_ECHO).
// Screenshots of every stage are kept in the test's output folder.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "tests/e2e/child_process.h"
#include "tests/e2e/window_under_test.h"
#include "tests/e2e/x_session.h"
#include "tests/support/loopback_server.h"
#include "tests/tools/site_process.h"
#include "tests/topic/topic_page.h"
#include "tools/sample-site/sample_site.h"
#include "tools/sample-site/sample_topic.h"

namespace tovalin::e2e {
namespace {

using namespace std::chrono_literals;
using tovalin::test::SampleSiteProcess;

// The sample topic's starter writes the opening post and 76 replies.
constexpr const char* kSampleTopicPosts = "77";

// More of the window's layout (client coordinates), beside the shared parts.
constexpr Rect kStatusLine{404, 156, 200, 26};
constexpr Rect kTickerCaption{16, 706, 85, 22};
constexpr Rect kNextButton{596, 320, 69, 120};
constexpr Rect kCloseButton{581, 9, 56, 65};

constexpr auto kExitWait = 10s;
// The ticker's first counted tick comes at most two timer periods after the window appears.
constexpr auto kPromptWait = 20s;
// Long enough for a wrong step to have shown up on screen.
constexpr auto kSettle = 1500ms;
// Past the X server's key repeat delay (660 ms by default), so the held key repeats.
constexpr auto kHeld = 1500ms;

std::string MadeFolder(const std::string& folder) {
    RunCommand("mkdir -p '" + folder + "'");
    return folder;
}

// How one run of the program is set up.
struct RunOptions {
    std::vector<std::string> siteArgs{"--idle-exit", "300"};
    std::string announcementPath = "/blog/post/announce-current.html";
    // The sample topic in the address box from the start (TOVALIN_TOPIC_URL); off: the box starts
    // with what the program remembers.
    bool topicInBox = true;
    // Where the program keeps its settings; the test's own folder unless given.
    std::string configHome;
    // A site that outlives this run (for a restart); the run starts its own when null.
    SampleSiteProcess* site = nullptr;
};

// Everything one run needs: the site, the X server and the program, stopped in reverse order.
class WindowRun {
  public:
    WindowRun(const RunOptions& options, const std::string& folder)
        : folder_(folder),
          ownSite_(options.site == nullptr ? std::make_unique<SampleSiteProcess>(options.siteArgs)
                                           : nullptr),
          site_(options.site != nullptr ? options.site : ownSite_.get()),
          x_(MadeFolder(folder) + "/xvfb.log") {
        const std::string config =
            options.configHome.empty() ? folder + "/config" : options.configHome;
        const std::map<std::string, std::string> env{
            {"DISPLAY", x_.Display()},
            {"QT_QPA_PLATFORM", "xcb"},
            {"QTWEBENGINE_DISABLE_SANDBOX", "1"},
            {"TOVALIN_TOPIC_URL", options.topicInBox ? site_->Url("/group/topic/1001/") : ""},
            {"TOVALIN_ANNOUNCE_URL", site_->Url(options.announcementPath)},
            {"TOVALIN_STATUS_ECHO", "1"},
            {"XDG_CONFIG_HOME", config},
        };
        app_ = std::make_unique<ChildProcess>(std::vector<std::string>{ProgramUnderTest()}, env,
                                              folder + "/tovalin.log");
    }

    XSession& X() { return x_; }
    ChildProcess& App() { return *app_; }
    SampleSiteProcess& Site() { return *site_; }
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

    // Waits until the status line has said a text that `pattern` matches whole.
    bool StatusSaid(const std::string& pattern, std::chrono::seconds wait = kShowWait) {
        const std::regex said("status: " + pattern);
        const auto deadline = std::chrono::steady_clock::now() + wait;
        for (;;) {
            std::istringstream log(ReadFile(folder_ + "/tovalin.log"));
            for (std::string line; std::getline(log, line);) {
                if (std::regex_match(line, said)) {
                    return true;
                }
            }
            if (std::chrono::steady_clock::now() >= deadline || !app_->Running()) {
                return false;
            }
            std::this_thread::sleep_for(100ms);
        }
    }
    // The last text the status line showed.
    std::string LastStatus() {
        const std::string log = ReadFile(folder_ + "/tovalin.log");
        const size_t at = log.rfind("status: ");
        return at == std::string::npos ? "" : log.substr(at + 8, log.find('\n', at) - at - 8);
    }

  private:
    std::string folder_;
    std::unique_ptr<SampleSiteProcess> ownSite_;
    SampleSiteProcess* site_;
    XSession x_;
    std::unique_ptr<ChildProcess> app_;
};

class WindowE2E : public ::testing::Test {
  protected:
    void SetUp() override { SkipWithoutXTools(); }
};

TEST_F(WindowE2E, ReadsTheSampleTopicThroughAddressBoxArrowsAndButtons) {
    const std::string folder = OutputFolder();
    RunOptions options;
    options.announcementPath = "/blog/post/announce.html";
    WindowRun run(options, folder);
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
        // The caption exactly, with nothing of the application's name appended.
        EXPECT_EQ(run.X().Title(prompt->id), "温馨提醒");
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
    EXPECT_TRUE(run.StatusSaid("正在载入第 1 页…"));
    EXPECT_TRUE(run.StatusSaid("第 1 / \\d+ 帖.*")) << "last said: " << run.LastStatus();
    EXPECT_GE(opening.CountDark(Offset(kStatusLine, w)), kTextPixels) << "no status line";

    // Right arrow in the address box: the starter's first reply.
    run.X().Key("Right");
    EXPECT_TRUE(run.ShootUntil("05-right-arrow.png", kShowWait, [&](const Screenshot& s) {
        return ShowsPost(s, w, 1) && !ShowsPost(s, w, 0);
    })) << "the right arrow did not step to the next post";

    // "%" and "'" typed into the address step nowhere (Qt's codes for them are the arrows').
    run.X().Type("%'%'");
    std::this_thread::sleep_for(kSettle);
    EXPECT_TRUE(ShowsPost(run.Shoot("05-typed-percent-quote.png"), w, 1))
        << "typing % or ' stepped";
    EXPECT_TRUE(std::regex_match(run.LastStatus(), std::regex("第 2 / \\d+ 帖.*")))
        << run.LastStatus();
    run.X().Key("BackSpace BackSpace BackSpace BackSpace");

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

    // Right held down past the repeat delay: one step, not one per repeat.
    run.X().Hold("Right", kHeld);
    EXPECT_TRUE(run.ShootUntil("08-held-right.png", kShowWait, [&](const Screenshot& s) {
        return ShowsPost(s, w, 2);
    })) << "the held right arrow did not step";
    std::this_thread::sleep_for(kSettle);
    EXPECT_TRUE(ShowsPost(run.Shoot("08-held-right-settled.png"), w, 2))
        << "stepped more than once";
    EXPECT_TRUE(std::regex_match(run.LastStatus(), std::regex("第 3 / \\d+ 帖.*")))
        << run.LastStatus();

    // A click into the post, then Right: the view has the focus and the key steps all the same.
    run.X().Click(w.x + kView.x + kView.width / 2, w.y + kView.y + kView.height - 20);
    run.X().Key("Right");
    EXPECT_TRUE(run.ShootUntil("09-right-in-view.png", kShowWait, [&](const Screenshot& s) {
        return ShowsPost(s, w, 3) && !ShowsPost(s, w, 2);
    })) << "Right in the view did not step";
    EXPECT_TRUE(run.StatusSaid("第 4 / \\d+ 帖.*"));
    // The window as the project's documentation shows it: a post being read, with its status.
    RunCommand("convert '" + folder + "/09-right-in-view.png' -crop " + std::to_string(w.width) +
               "x" + std::to_string(w.height) + "+" + std::to_string(w.x) + "+" +
               std::to_string(w.y) + " +repage '" + folder + "/window-reading.png'");

    // Once every page is in, End shows the last post; Right there says that it is the last one.
    const std::string all = kSampleTopicPosts;
    EXPECT_TRUE(run.StatusSaid("第 4 / " + all + " 帖")) << "last said: " << run.LastStatus();
    run.X().Key("End");
    EXPECT_TRUE(run.StatusSaid("第 " + all + " / " + all + " 帖"));
    run.X().Key("Right");
    EXPECT_TRUE(run.StatusSaid("第 " + all + " / " + all + " 帖　已是最后一帖"))
        << "last said: " << run.LastStatus();
    run.X().Key("Home");
    EXPECT_TRUE(run.ShootUntil("10-home.png", kShowWait, [&](const Screenshot& s) {
        return ShowsPost(s, w, 0);
    })) << "Home did not show the opening post";

    // The close button ends the program.
    run.X().Click(w.x + kCloseButton.x + kCloseButton.width / 2,
                  w.y + kCloseButton.y + kCloseButton.height / 2);
    const auto status = run.App().WaitForExit(kExitWait);
    ASSERT_TRUE(status) << "still running after the close button";
    EXPECT_EQ(*status, 0);
    // The view draws in software and OpenGL is never loaded: the notices that come of that, and
    // the engine's description of its set-up, stay off the terminal.
    const std::string log = ReadFile(folder + "/tovalin.log");
    for (const char* noise : {"OpenGL", "graphics backend", "qt.webenginecontext"}) {
        EXPECT_EQ(log.find(noise), std::string::npos) << noise << " in:\n" << log;
    }
}

TEST_F(WindowE2E, ClosingWhileALoadRunsEndsTheProcess) {
    const std::string folder = OutputFolder();
    // Every later page takes two seconds, so the twelve-page load is far from done when the
    // window closes.
    constexpr int kPageDelayMs = 2000;
    // The announcement page names the running version, so no prompt gets in the way.
    RunOptions options;
    options.siteArgs = {"--idle-exit", "300", "--delay-ms", std::to_string(kPageDelayMs)};
    WindowRun run(options, folder);
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

// Each way a load can find nothing is named on the status line.
TEST_F(WindowE2E, TheStatusLineNamesWhyALoadFoundNothing) {
    const std::string folder = OutputFolder();
    WindowRun run(RunOptions{}, folder);
    const auto window = run.X().WaitForWindow(run.App().Pid(), kWindowWait);
    ASSERT_TRUE(window) << "no window; see " << folder << "/tovalin.log";
    const Rect w = window->area;
    run.X().Focus(window->id);

    const struct {
        std::string address;
        std::string status;
    } cases[] = {
        // Port 1 on loopback: nothing listens there.
        {"http://127.0.0.1:1/group/topic/1/", "第 1 / 1 帖　载入失败：连接被拒绝"},
        {"http://nohost.test/group/topic/1/", "第 1 / 1 帖　载入失败：找不到主机"},
        {run.Site().Url("/"), "此页不是话题页面"},
        {run.Site().Url("/no/such/page"), "第 1 / 1 帖　载入失败：服务器回应 HTTP 404"},
    };
    for (const auto& c : cases) {
        run.X().Click(w.x + kAddressBox.x + 200, w.y + kAddressBox.y + kAddressBox.height / 2);
        run.X().Key("ctrl+a");
        run.X().Key("BackSpace");
        run.X().Type(c.address);
        run.Shoot("typed-" + std::to_string(&c - cases) + ".png");
        run.X().Key("Return");
        EXPECT_TRUE(run.StatusSaid(c.status)) << c.address << "; last said: " << run.LastStatus();
    }
    run.Shoot("01-last-failure.png");
}

// A post of five megabytes of Chinese text shows whole: its first and its last lines.
TEST_F(WindowE2E, AFiveMegabytePostShows) {
    const std::string folder = OutputFolder();
    constexpr const char* kFirstBanner = "#d7263d";
    constexpr const char* kLastBanner = "#1b998b";
    auto banner = [](const char* colour) {
        return std::string("<div style=\"background:") + colour +
               ";width:480px;height:48px\"></div>";
    };
    std::string post = banner(kFirstBanner);
    const std::string line = "<p>楼主的长帖，一句接一句，写了很多很多的话。</p>";
    while (post.size() < 5u * 1024 * 1024) {
        post += line;
    }
    post += banner(kLastBanner);
    const std::string page =
        topic_page::Page(topic_page::Starter("/people/1/", "长帖作者") + topic_page::Opening(post));
    tovalin::test::LoopbackServer server(
        [&](tovalin::test::ServerConnection& conn) {
            while (!conn.ReadRequestHead().empty()) {
                conn.Send(tovalin::test::HttpResponseWithLength(200, {}, page));
            }
        },
        300s);

    WindowRun run(RunOptions{}, folder);
    const auto window = run.X().WaitForWindow(run.App().Pid(), kWindowWait);
    ASSERT_TRUE(window) << "no window; see " << folder << "/tovalin.log";
    const Rect w = window->area;
    run.X().Focus(window->id);
    run.X().Click(w.x + kAddressBox.x + 200, w.y + kAddressBox.y + kAddressBox.height / 2);
    run.X().Key("ctrl+a");
    run.X().Key("BackSpace");
    run.X().Type(server.Url("/group/topic/5/"));
    run.X().Key("Return");
    const Rect view = Offset(kView, w);
    EXPECT_TRUE(run.ShootUntil("01-post-start.png", kShowWait, [&](const Screenshot& s) {
        return s.CountColour(view, ParseColour(kFirstBanner)) >= kBannerPixels;
    })) << "the long post did not show";
    EXPECT_TRUE(run.StatusSaid("第 1 / 1 帖")) << "last said: " << run.LastStatus();
    // To the end of the post (Ctrl+End is the view's own key).
    run.X().Click(view.x + view.width / 2, view.y + view.height / 2);
    run.X().Key("ctrl+End");
    EXPECT_TRUE(run.ShootUntil("02-post-end.png", kShowWait, [&](const Screenshot& s) {
        return s.CountColour(view, ParseColour(kLastBanner)) >= kBannerPixels;
    })) << "the end of the long post is not there";
}

// The topic read last is in the address box after a restart, and loading it comes back to the
// post shown last.
TEST_F(WindowE2E, TheLastTopicAndPostComeBackAfterARestart) {
    const std::string folder = OutputFolder();
    SampleSiteProcess site({"--idle-exit", "300"});
    RunOptions options;
    options.site = &site;
    options.topicInBox = false;
    options.configHome = folder + "/config";
    {
        WindowRun first(options, folder + "/first");
        const auto window = first.X().WaitForWindow(first.App().Pid(), kWindowWait);
        ASSERT_TRUE(window) << "no window; see " << folder << "/first/tovalin.log";
        const Rect w = window->area;
        first.X().Focus(window->id);
        first.X().Click(w.x + kAddressBox.x + 200, w.y + kAddressBox.y + kAddressBox.height / 2);
        first.X().Key("ctrl+a");
        first.X().Key("BackSpace");
        first.X().Type(site.Url("/group/topic/1001/"));
        first.X().Key("Return");
        ASSERT_TRUE(first.StatusSaid("第 1 / \\d+ 帖.*")) << "last said: " << first.LastStatus();
        first.X().Key("Right");
        first.X().Key("Right");
        ASSERT_TRUE(first.ShootUntil("01-second-reply.png", kShowWait,
                                     [&](const Screenshot& s) { return ShowsPost(s, w, 2); }));
        first.X().Click(w.x + kCloseButton.x + kCloseButton.width / 2,
                        w.y + kCloseButton.y + kCloseButton.height / 2);
        ASSERT_TRUE(first.App().WaitForExit(kExitWait)) << "still running after the close button";
    }
    WindowRun second(options, folder + "/second");
    const auto window = second.X().WaitForWindow(second.App().Pid(), kWindowWait);
    ASSERT_TRUE(window) << "no window; see " << folder << "/second/tovalin.log";
    const Rect w = window->area;
    second.X().Focus(window->id);
    // Enter alone: the box holds the topic read last.
    second.X().Click(w.x + kAddressBox.x + 200, w.y + kAddressBox.y + kAddressBox.height / 2);
    second.X().Key("Return");
    EXPECT_TRUE(second.ShootUntil("01-restored.png", kShowWait, [&](const Screenshot& s) {
        return ShowsPost(s, w, 2) && !ShowsPost(s, w, 0);
    })) << "the post shown last did not come back";
    EXPECT_TRUE(second.StatusSaid("第 3 / \\d+ 帖.*")) << "last said: " << second.LastStatus();
}

}  // namespace
}  // namespace tovalin::e2e
