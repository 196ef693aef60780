#pragma once
// Set-up shared by the entries of the window and view tests, before the application object
// exists: headless unless told otherwise, and the HTML view's engine may not sandbox itself when
// the tests run as root.

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QtGlobal>

#include "view/web_view_process.h"

inline void PrepareHeadlessGui() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    PrepareWebViewProcess();
    // The window remembers what was read in the user's settings: tests keep theirs apart, in a
    // folder that goes with the test run.
    static QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
}
