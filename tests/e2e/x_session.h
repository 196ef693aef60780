#pragma once
// A private X server for an end-to-end test and the few things a test does on it: find a
// program's window, press keys, click, and take screenshots it can probe pixel by pixel.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/child_process.h"

namespace tovalin::e2e {

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
};

// "#rrggbb" to a colour.
Rgb ParseColour(const std::string& hex);

// One screenshot of the whole screen, kept as a PNG in the test's output folder and as raw
// pixels for probing.
class Screenshot {
  public:
    Screenshot(int width, int height, std::string rgb)
        : width_(width), height_(height), rgb_(std::move(rgb)) {}
    int Width() const { return width_; }
    int Height() const { return height_; }
    Rgb At(int x, int y) const;
    // Pixels in `area` within `tolerance` of `colour` on every channel.
    int CountColour(Rect area, Rgb colour, int tolerance = 3) const;
    // Pixels in `area` whose brightest channel is below `threshold`: text on a light ground.
    int CountDark(Rect area, int threshold = 110) const;

  private:
    int width_;
    int height_;
    std::string rgb_;
};

class XSession {
  public:
    // Starts Xvfb on a free display; the screen is 1280 x 1024 with a black root window.
    // Throws std::runtime_error when it does not come up.
    explicit XSession(const std::string& logPath);

    std::string Display() const { return ":" + std::to_string(display_); }

    struct Window {
        std::string id;
        Rect area;
    };
    // The visible windows of process `pid` with their screen areas.
    std::vector<Window> Windows(int pid);
    // The largest visible window of process `pid`, waiting up to `wait` for it to appear.
    std::optional<Window> WaitForWindow(int pid, std::chrono::milliseconds wait);
    // A visible dialog (a window typed _NET_WM_WINDOW_TYPE_DIALOG, as message boxes are) of
    // `pid`, waiting up to `wait` for one to appear.
    std::optional<Window> WaitForDialog(int pid, std::chrono::milliseconds wait);
    // Whether window `id` of `pid` is still visible.
    bool Visible(int pid, const std::string& id);

    void Key(const std::string& keys);  // e.g. "Return", "ctrl+a", "Right"
    // Holds `key` down for `held` (past the system's repeat delay, say), then lets it go.
    void Hold(const std::string& key, std::chrono::milliseconds held);
    // The window's title as the window manager reads it (_NET_WM_NAME).
    std::string Title(const std::string& windowId);
    void Type(const std::string& text);
    void Click(int x, int y);  // left button at screen position
    void MoveMouse(int x, int y);
    void Focus(const std::string& windowId);

    // Saves a PNG named `name` into `folder` and returns its pixels.
    Screenshot Shoot(const std::string& folder, const std::string& name);

  private:
    std::string Tool(const std::string& command) const;  // runs with this display

    std::unique_ptr<ChildProcess> server_;
    int display_ = -1;
};

}  // namespace tovalin::e2e
