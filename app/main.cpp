// The process entry: the application object, the one window, the message loop, and the end.

#include <unistd.h>
#include <QIcon>
#include <cstdio>
#include <cstdlib>

#include "app/tovalin_application.h"
#include "app/unit1.h"

int main(int argc, char* argv[]) {
    // The HTML view shares the window's graphics contexts; Qt needs to know before it starts.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The web engine's renderer sandbox cannot run for root and the engine then refuses to
    // start at all; as root the view runs unsandboxed (scripts stay off either way).
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    TApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/art/icon.png")));

    new TForm1();    // assigns Form1 and runs FormCreate; lives until the process ends
    Form1->winId();  // the system window now, shape included, before the first show
    Form1->show();   // first show: FormShow, then centred on the desktop, then visible
    const int code = QApplication::exec();

    // Workers are never stopped or awaited: the process ends here and they end with it. No
    // destructors run, so nothing can wait on a worker still blocked in the network.
    std::fflush(nullptr);
    std::_Exit(code);
}
