// tovalin-x-probe: measures, from outside the program, how long a window takes to show
// something. It optionally sends a key event or runs an input command, then reads a rectangle
// of the screen straight from the X server until enough of its pixels have a given colour, and
// prints the elapsed milliseconds.
//
//   tovalin-x-probe X Y W H '#rrggbb' MIN_PIXELS TIMEOUT_MS [--key KEY | --key-down KEY | --key-up
//   KEY] tovalin-x-probe X Y W H '#rrggbb' MIN_PIXELS TIMEOUT_MS [command...]
//
// --key-down / --key-up press or release KEY (an X key name: Right, Return) through the XTEST
// extension; the clock starts once the X server has taken the event, which is as close to the
// moment the program can read it as an outside probe gets. --key presses and releases at once,
// the clock starting with the press (for a program that acts on the press). A command (xdotool,
// say) starts the clock when it has ended, 1-3 ms after its events went out.
//
// Output: "<ms since the key event or the command's end> <ms since the probe began>", or
// "timeout" (exit status 1). With neither both figures count from the probe's start.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

// Channel difference still counted as the wanted colour (rendering may round).
constexpr int kTolerance = 3;

using Clock = std::chrono::steady_clock;

double Millis(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Reads the rectangle from the X server. Through shared memory when the server offers it: a
// look over the 538 x 489 web view through the connection took about 9 ms, and each look must be
// short next to the times measured (it adds up to one look to every figure).
bool attachFailed = false;

int NoteAttachError(Display*, XErrorEvent*) {
    attachFailed = true;
    return 0;
}

class ScreenReader {
  public:
    ScreenReader(Display* display, int w, int h) : display_(display) {
        const int screen = DefaultScreen(display);
        if (XShmQueryExtension(display) == 0) {
            return;
        }
        image_ = XShmCreateImage(display, DefaultVisual(display, screen),
                                 DefaultDepth(display, screen), ZPixmap, nullptr, &shm_, w, h);
        if (image_ == nullptr) {
            return;
        }
        shm_.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(image_->bytes_per_line) * h,
                            IPC_CREAT | 0600);
        if (shm_.shmid < 0) {
            XDestroyImage(image_);
            image_ = nullptr;
            return;
        }
        void* address = shmat(shm_.shmid, nullptr, 0);
        shmctl(shm_.shmid, IPC_RMID, nullptr);  // gone once every side has let go of it
        if (address == reinterpret_cast<void*>(-1)) {
            XDestroyImage(image_);
            image_ = nullptr;
            return;
        }
        shm_.shmaddr = image_->data = static_cast<char*>(address);
        shm_.readOnly = False;
        // A server that cannot reach this memory (another machine, another container) refuses
        // the attach with an error, which would end the probe: caught here, and the probe reads
        // through the connection instead.
        attachFailed = false;
        XSync(display, False);
        const XErrorHandler previous = XSetErrorHandler(NoteAttachError);
        const bool attached = XShmAttach(display, &shm_) != 0;
        XSync(display, False);
        XSetErrorHandler(previous);
        if (!attached || attachFailed) {
            shmdt(address);
            image_->data = nullptr;
            XDestroyImage(image_);
            image_ = nullptr;
        }
    }
    ~ScreenReader() {
        if (image_ != nullptr) {
            XShmDetach(display_, &shm_);
            shmdt(shm_.shmaddr);
            image_->data = nullptr;
            XDestroyImage(image_);
        }
    }
    ScreenReader(const ScreenReader&) = delete;
    ScreenReader& operator=(const ScreenReader&) = delete;

    // The rectangle's pixels, or nullptr; release with Done.
    XImage* Read(int x, int y, int w, int h) {
        if (image_ != nullptr) {
            return XShmGetImage(display_, DefaultRootWindow(display_), image_, x, y, AllPlanes) != 0
                       ? image_
                       : nullptr;
        }
        return XGetImage(display_, DefaultRootWindow(display_), x, y, w, h, AllPlanes, ZPixmap);
    }
    void Done(XImage* image) {
        if (image != image_) {
            XDestroyImage(image);
        }
    }

  private:
    Display* display_;
    XShmSegmentInfo shm_{};
    XImage* image_ = nullptr;
};

int CountColour(ScreenReader& reader, int x, int y, int w, int h, unsigned long rgb) {
    XImage* image = reader.Read(x, y, w, h);
    if (image == nullptr) {
        return 0;
    }
    const int wantR = (rgb >> 16) & 255, wantG = (rgb >> 8) & 255, wantB = rgb & 255;
    const auto matches = [&](unsigned long p) {
        const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
        return std::abs(r - wantR) <= kTolerance && std::abs(g - wantG) <= kTolerance &&
               std::abs(b - wantB) <= kTolerance;
    };
    // On a 24-bit screen the pixels are read straight from the image (XGetPixel is a call per
    // pixel).
    const bool direct = image->bits_per_pixel == 32 && image->red_mask == 0xff0000 &&
                        image->green_mask == 0x00ff00 && image->blue_mask == 0x0000ff &&
                        image->byte_order == LSBFirst;
    int count = 0;
    for (int j = 0; j < h; ++j) {
        const auto* row = reinterpret_cast<const unsigned char*>(image->data) +
                          static_cast<std::ptrdiff_t>(j) * image->bytes_per_line;
        for (int i = 0; i < w; ++i) {
            const unsigned long p = direct ? (static_cast<unsigned long>(row[4 * i + 2]) << 16) |
                                                 (static_cast<unsigned long>(row[4 * i + 1]) << 8) |
                                                 row[4 * i]
                                           : XGetPixel(image, i, j);
            count += matches(p) ? 1 : 0;
        }
    }
    reader.Done(image);
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

    ScreenReader reader(display, w, h);
    const auto started = Clock::now();
    const std::string mode = argc > 9 ? argv[8] : "";
    std::optional<Clock::time_point> pressed;  // --key: the clock starts with the press
    if (mode == "--key" || mode == "--key-down" || mode == "--key-up") {
        const KeySym sym = XStringToKeysym(argv[9]);
        const KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(display, sym);
        int event = 0, error = 0, major = 0, minor = 0;
        if (code == 0 || XTestQueryExtension(display, &event, &error, &major, &minor) == 0) {
            std::fprintf(stderr, "cannot send the key %s\n", argv[9]);
            return 2;
        }
        XTestFakeKeyEvent(display, code, mode == "--key-up" ? False : True, CurrentTime);
        XSync(display, False);  // the server has queued the event for the focused window
        if (mode == "--key") {
            // Released at once, so a slow answer never makes the key repeat.
            pressed = Clock::now();
            XTestFakeKeyEvent(display, code, False, CurrentTime);
            XFlush(display);
        }
    } else if (argc > 8) {
        const pid_t child = fork();
        if (child == 0) {
            execvp(argv[8], argv + 8);
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
    }
    const auto sent = pressed.value_or(Clock::now());
    while (CountColour(reader, x, y, w, h, colour) < minPixels) {
        if (Millis(started, Clock::now()) > timeoutMs) {
            std::puts("timeout");
            return 1;
        }
        usleep(500);
    }
    const auto seen = Clock::now();
    std::printf("%.1f %.1f\n", Millis(sent, seen), Millis(started, seen));
    // The display stays open until the reader has let go of its shared memory, at exit.
    return 0;
}
