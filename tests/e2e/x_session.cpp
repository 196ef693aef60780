#include "tests/e2e/x_session.h"

#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace tovalin::e2e {

namespace {

constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 1024;
// Xvfb needs a moment to open its socket on a loaded machine.
constexpr std::chrono::milliseconds kServerStartWait{15000};

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

}  // namespace

Rgb ParseColour(const std::string& hex) {
    const unsigned long v = std::strtoul(hex.c_str() + 1, nullptr, 16);
    return Rgb{static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
               static_cast<std::uint8_t>(v)};
}

Rgb Screenshot::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return {};
    }
    const size_t at = (static_cast<size_t>(y) * width_ + x) * 3;
    return Rgb{static_cast<std::uint8_t>(rgb_[at]), static_cast<std::uint8_t>(rgb_[at + 1]),
               static_cast<std::uint8_t>(rgb_[at + 2])};
}

int Screenshot::CountColour(Rect area, Rgb colour, int tolerance) const {
    int count = 0;
    for (int y = area.y; y < area.y + area.height; ++y) {
        for (int x = area.x; x < area.x + area.width; ++x) {
            const Rgb p = At(x, y);
            if (std::abs(p.r - colour.r) <= tolerance && std::abs(p.g - colour.g) <= tolerance &&
                std::abs(p.b - colour.b) <= tolerance) {
                ++count;
            }
        }
    }
    return count;
}

int Screenshot::CountDark(Rect area, int threshold) const {
    int count = 0;
    for (int y = area.y; y < area.y + area.height; ++y) {
        for (int x = area.x; x < area.x + area.width; ++x) {
            const Rgb p = At(x, y);
            if (std::max({p.r, p.g, p.b}) < threshold) {
                ++count;
            }
        }
    }
    return count;
}

XSession::XSession(const std::string& logPath) {
    // Xvfb picks a free display itself and writes its number to descriptor 3 once it listens.
    int ready[2];
    if (::pipe(ready) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const std::string shell = "exec Xvfb -displayfd 3 -screen 0 " + std::to_string(kScreenWidth) +
                              "x" + std::to_string(kScreenHeight) +
                              "x24 -nolisten tcp -br -noreset 3>&" + std::to_string(ready[1]);
    server_ = std::make_unique<ChildProcess>(std::vector<std::string>{"/bin/sh", "-c", shell},
                                             std::map<std::string, std::string>{}, logPath);
    ::close(ready[1]);
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + kServerStartWait;
    while (number.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{ready[0], POLLIN, 0};
        char c;
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0 ||
            ::read(ready[0], &c, 1) != 1) {
            break;
        }
        number += c;
    }
    ::close(ready[0]);
    if (number.empty() || number.find('\n') == std::string::npos) {
        throw std::runtime_error("Xvfb did not start (see " + logPath + ")");
    }
    display_ = std::stoi(number);
}

std::string XSession::Tool(const std::string& command) const {
    return RunCommand("env DISPLAY=" + Display() + " " + command + " 2>/dev/null");
}

std::vector<XSession::Window> XSession::Windows(int pid) {
    std::vector<Window> windows;
    std::istringstream ids(Tool("xdotool search --onlyvisible --pid " + std::to_string(pid)));
    for (std::string id; ids >> id;) {
        std::istringstream shell(Tool("xdotool getwindowgeometry --shell " + id));
        Rect r;
        for (std::string line; std::getline(shell, line);) {
            const size_t eq = line.find('=');
            if (eq == std::string::npos) {
                continue;
            }
            const std::string key = line.substr(0, eq);
            const int value = std::atoi(line.c_str() + eq + 1);
            if (key == "X")
                r.x = value;
            if (key == "Y")
                r.y = value;
            if (key == "WIDTH")
                r.width = value;
            if (key == "HEIGHT")
                r.height = value;
        }
        // Helper windows of one pixel are not what a user sees.
        if (r.width > 1 && r.height > 1) {
            windows.push_back({id, r});
        }
    }
    return windows;
}

std::optional<XSession::Window> XSession::WaitForWindow(int pid, std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        std::optional<Window> best;
        for (const Window& w : Windows(pid)) {
            if (!best || w.area.width * w.area.height > best->area.width * best->area.height) {
                best = w;
            }
        }
        if (best || std::chrono::steady_clock::now() >= deadline) {
            return best;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}

std::optional<XSession::Window> XSession::WaitForDialog(int pid, std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        for (const Window& w : Windows(pid)) {
            // The web view and other helpers also own windows; only a dialog is the question.
            if (Tool("xprop -id " + w.id + " _NET_WM_WINDOW_TYPE").find("_DIALOG") !=
                std::string::npos) {
                return w;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}

bool XSession::Visible(int pid, const std::string& id) {
    for (const Window& w : Windows(pid)) {
        if (w.id == id) {
            return true;
        }
    }
    return false;
}

void XSession::Key(const std::string& keys) {
    Tool("xdotool key --clearmodifiers " + keys);
}

void XSession::Hold(const std::string& key, std::chrono::milliseconds held) {
    Tool("xdotool keydown " + key);
    std::this_thread::sleep_for(held);
    Tool("xdotool keyup " + key);
}

std::string XSession::Title(const std::string& windowId) {
    // _NET_WM_NAME(UTF8_STRING) = "title"
    const std::string line = Tool("xprop -id " + windowId + " _NET_WM_NAME");
    const size_t open = line.find('"');
    const size_t close = line.rfind('"');
    if (open == std::string::npos || close == open) {
        return {};
    }
    return line.substr(open + 1, close - open - 1);
}

void XSession::Type(const std::string& text) {
    Tool("xdotool type --delay 8 -- " + Quote(text));
}

void XSession::MoveMouse(int x, int y) {
    Tool("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y));
}

void XSession::Click(int x, int y) {
    MoveMouse(x, y);
    Tool("xdotool click 1");
}

void XSession::Focus(const std::string& windowId) {
    Tool("xdotool windowfocus " + windowId);
}

Screenshot XSession::Shoot(const std::string& folder, const std::string& name) {
    const std::string png = folder + "/" + name;
    Tool("import -window root " + Quote(png));
    std::string rgb = RunCommand("convert " + Quote(png) + " -depth 8 rgb:- 2>/dev/null");
    if (rgb.size() != static_cast<size_t>(kScreenWidth) * kScreenHeight * 3) {
        throw std::runtime_error("screenshot " + png + " could not be read");
    }
    return Screenshot(kScreenWidth, kScreenHeight, std::move(rgb));
}

}  // namespace tovalin::e2e
