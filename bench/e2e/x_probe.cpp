// tovalin-x-probe: measures, from outside the program, how long a window takes to show
// something. It optionally runs an input command (an xdotool key press, say), then reads a
// rectangle of the screen straight from the X server until enough of its pixels have a given
// colour, and prints the elapsed milliseconds.
//
//   tovalin-x-probe X Y W H '#rrggbb' MIN_PIXELS TIMEOUT_MS [command...]
//
// Output: "<ms since the command returned> <ms since the command was started>", or "timeout"
// (exit status 1). With no command both figures count from the probe's start.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Channel difference still counted as the wanted colour (rendering may round).
constexpr int kTolerance = 3;

using Clock = std::chrono::steady_clock;

double Millis(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

int CountColour(Display* display, int x, int y, int w, int h, unsigned long rgb) {
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, w, h, AllPlanes, ZPixmap);
    if (image == nullptr) {
        return 0;
    }
    const int wantR = (rgb >> 16) & 255, wantG = (rgb >> 8) & 255, wantB = rgb & 255;
    int count = 0;
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            const unsigned long p = XGetPixel(image, i, j);
            const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
            if (std::abs(r - wantR) <= kTolerance && std::abs(g - wantG) <= kTolerance &&
                std::abs(b - wantB) <= kTolerance) {
                ++count;
            }
        }
    }
    XDestroyImage(image);
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 8) {
        std::fprintf(stderr, "usage: %s X Y W H '#rrggbb' MIN_PIXELS TIMEOUT_MS [command...]\n",
                     argv[0]);
        return 2;
    }
    const int x = std::atoi(argv[1]), y = std::atoi(argv[2]);
    const int w = std::atoi(argv[3]), h = std::atoi(argv[4]);
    const unsigned long colour = std::strtoul(argv[5] + (argv[5][0] == '#' ? 1 : 0), nullptr, 16);
    const int minPixels = std::atoi(argv[6]);
    const int timeoutMs = std::atoi(argv[7]);
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "cannot open the display\n");
        return 2;
    }

    const auto started = Clock::now();
    if (argc > 8) {
        const pid_t child = fork();
        if (child == 0) {
            execvp(argv[8], argv + 8);
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
    }
    const auto sent = Clock::now();
    while (CountColour(display, x, y, w, h, colour) < minPixels) {
        if (Millis(started, Clock::now()) > timeoutMs) {
            std::puts("timeout");
            return 1;
        }
        usleep(500);
    }
    const auto seen = Clock::now();
    std::printf("%.1f %.1f\n", Millis(sent, seen), Millis(started, seen));
    XCloseDisplay(display);
    return 0;
}
