// Entry of the safe-view tests: one application object for the run, headless.
#include <gtest/gtest.h>

#include "tests/support/headless_gui.h"

#include <QApplication>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    PrepareHeadlessGui();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
