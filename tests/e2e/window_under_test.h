#pragma once
// What the end-to-end tests share about the program they drive: where its window's parts are,
// how long its start may take, how a post on display is recognised, and where a test keeps its
// screenshots and logs.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/e2e/x_session.h"
#include "tools/sample-site/sample_topic.h"

namespace tovalin::e2e {

using namespace std::chrono_literals;

// The window's fixed layout (client coordinates).
constexpr int kWindowWidth = 670;
constexpr int kWindowHeight = 730;
constexpr Rect kView{66, 200, 538, 489};
constexpr Rect kAddressBox{144, 98, 521, 25};
// The caption alone: the status line shares its row (right-aligned) and changes as pages arrive.
constexpr Rect kCaptionLabel{40, 156, 200, 26};
constexpr Rect kTickerTitle{104, 706, 540, 22};

// The web view starts its own processes; on a loaded two-core machine that takes a while.
constexpr auto kWindowWait = 60s;
constexpr auto kShowWait = 30s;
// A banner is 480 x 48 pixels; seeing a good part of it means the post is on display.
constexpr int kBannerPixels = 480 * 48 / 2;
// Anti-aliased text of a short line gives at least this many dark pixels.
constexpr int kTextPixels = 40;

// The test's own output folder (screenshots, logs), made if missing.
inline std::string OutputFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string folder = std::string(TOVALIN_E2E_OUTPUT_DIR) + "/" + info->name();
    RunCommand("mkdir -p '" + folder + "'");
    return folder;
}

// The binary built beside the tests, or another one (an installed package's, say) named by
// TOVALIN_E2E_BINARY.
inline std::string ProgramUnderTest() {
    const char* other = std::getenv("TOVALIN_E2E_BINARY");
    return other != nullptr && *other != '\0' ? other : TOVALIN_BINARY;
}

inline Rect Offset(Rect r, const Rect& window) {
    return Rect{window.x + r.x, window.y + r.y, r.width, r.height};
}

// Whether the sample starter's post k is on display in the view.
inline bool ShowsPost(const Screenshot& shot, const Rect& window, int k) {
    return shot.CountColour(Offset(kView, window), ParseColour(StarterBannerColour(k))) >=
           kBannerPixels;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Skips the test on a machine without the X tools the tests drive the window with.
inline void SkipWithoutXTools() {
    for (const char* tool : {"Xvfb", "xdotool", "xprop", "import", "convert"}) {
        if (!HaveProgram(tool)) {
            GTEST_SKIP() << tool
                         << " is not installed (Debian: xvfb, xdotool, x11-utils, imagemagick)";
        }
    }
}

}  // namespace tovalin::e2e
