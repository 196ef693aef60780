// The default error display: the "." rule, the silent abort, and that no handler's exception
// stops the application.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <stdexcept>

#include "app/dialogs.h"
#include "app/error_display.h"

namespace {

TEST(ErrorDisplayText, AppendsAFullStopAfterCharactersThatSortAboveIt) {
    const struct {
        const char* message;
        const char* shown;
    } cases[] = {
        {"Connection refused", "Connection refused."},
        {"Error 404", "Error 404."},
        {"Really?", "Really?."},
        {"网络错误", "网络错误."},
        {"Done.", "Done."},
        {"Stop!", "Stop!"},
        {"path/", "path/."},
        {"(see above)", "(see above)"},
        {"trailing space ", "trailing space "},
        {"dash-", "dash-"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ErrorDisplayText(QString::fromUtf8(c.message)), QString::fromUtf8(c.shown))
            << c.message;
    }
}

class ErrorDisplayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = Dialogs();
        Dialogs().showError = [this](const QString& text) { shown.append(text); };
    }
    void TearDown() override { Dialogs() = saved_; }
    QStringList shown;

  private:
    DialogSeams saved_;
};

TEST_F(ErrorDisplayTest, GuardedShowsErrorsAndSwallowsAborts) {
    Guarded([] { throw std::runtime_error("List index out of bounds (3)"); });
    Guarded([] { throw EAbort(); });
    Guarded([] { throw 42; });
    Guarded([] {});
    EXPECT_EQ(shown, QStringList({"List index out of bounds (3)", "Unknown error."}));
}

// An exception thrown by a handler the window did not wrap still ends at the display, and the
// loop goes on delivering events afterwards.
TEST_F(ErrorDisplayTest, TheApplicationCatchesWhatEscapesAnEventHandler) {
    int laterTicks = 0;
    QTimer::singleShot(0, qApp, [] { throw std::runtime_error("Access violation"); });
    QTimer::singleShot(5, qApp, [&] { ++laterTicks; });
    QTimer::singleShot(50, qApp, [] { QApplication::exit(0); });
    QApplication::exec();
    EXPECT_EQ(shown, QStringList({"Access violation."}));
    EXPECT_EQ(laterTicks, 1);
}

}  // namespace
