// Entry of the headless window tests: one application object (the program's own) for the run.
#include <gtest/gtest.h>

#include "app/tovalin_application.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    TApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QString::fromUtf8("Tovalin 澜页"));
    return RUN_ALL_TESTS();
}
