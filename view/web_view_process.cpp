#include "view/web_view_process.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QString>
#include <QtGlobal>

namespace {

// What X11 and the engine say at start when OpenGL support is not loaded: the share context the
// engine asks for cannot be made, and the engine finds no graphics backend for its own use.
// Expected and harmless, since nothing uses either.
constexpr const char* kNoOpenGLNotices[] = {
    "QXcbIntegration: Cannot create platform OpenGL context",
    "No suitable graphics backend found",
};

bool IsNoOpenGLNotice(const QString& message) {
    for (const char* notice : kNoOpenGLNotices) {
        if (message.startsWith(QLatin1String(notice))) {
            return true;
        }
    }
    return false;
}

QtMessageHandler previousHandler = nullptr;
bool setOpenGLIntegration = false;  // the variable is ours, not the user's

void DropNoOpenGLNotice(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && IsNoOpenGLNotice(message)) {
        return;
    }
    previousHandler(type, context, message);  // Qt's own handler when none was installed
}

}  // namespace

void PrepareWebViewProcess() {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The engine describes its set-up (some twenty lines) on every start; QT_LOGGING_RULES
    // brings it back.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    if (!qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND")) {
        return;
    }
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION")) {
        qputenv("QT_XCB_GL_INTEGRATION", "none");
        setOpenGLIntegration = true;
        previousHandler = qInstallMessageHandler(DropNoOpenGLNotice);
    }
}

void WebViewProcessStarted() {
    // X11 has read it by now: the engine's share context was made in the application object's
    // construction.
    if (setOpenGLIntegration) {
        qunsetenv("QT_XCB_GL_INTEGRATION");
        setOpenGLIntegration = false;
    }
}
