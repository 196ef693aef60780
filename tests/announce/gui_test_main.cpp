// Entry of the headless window tests: one application object for the whole run.
#include <gtest/gtest.h>

#include "tests/support/headless_gui.h"

#include <QApplication>

int main(int argc, char** argv) {
    PrepareHeadlessGui();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
