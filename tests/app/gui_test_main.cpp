// Entry of the headless window tests: one application object (the program's own) for the run.
#include <gtest/gtest.h>

#include "tests/support/headless_gui.h"

#include "app/tovalin_application.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    PrepareHeadlessGui();
    TApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
