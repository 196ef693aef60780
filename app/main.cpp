// The process entry: the command line, the application object, the one window, the message
// loop, and the end.
//
// tovalin [URL]: with an address, the window opens with that topic loading, as if it had been
// typed into the address box and Enter pressed.

#include <unistd.h>
#include <QCommandLineParser>
#include <QIcon>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "app/tovalin_application.h"
#include "app/unit1.h"
#include "view/web_view_process.h"

namespace {

constexpr const char* kTool = "tovalin";
constexpr int kExitUsage = 2;

// The options the program itself knows; Qt's own (-platform, -style, ...) are taken out of the
// arguments by the application object before these are parsed.
void DescribeCommandLine(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral(
        "Tovalin 澜页 reads one discussion topic of a community site and shows the posts of the "
        "topic's starter one at a time."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("URL"),
                                 QStringLiteral("Address of a topic page to open at start."),
                                 QStringLiteral("[URL]"));
}

// --help and --version are answered before any window system is needed (manual pages are
// made from --help on machines without a display). Returns the exit status when answered.
std::optional<int> AnswerWithoutWindow(int argc, char* argv[]) {
    QCommandLineParser parser;
    DescribeCommandLine(parser);
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--") == 0) {
            break;
        }
        if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0 ||
            std::strcmp(arg, "--help-all") == 0 || std::strcmp(arg, "-?") == 0) {
            // Without an application object Qt cannot know the program's name for the usage line.
            const QString help = parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                           QString::fromLatin1(kTool));
            std::fputs(help.toLocal8Bit().constData(), stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
        if (std::strcmp(arg, "-v") == 0 || std::strcmp(arg, "--version") == 0) {
            std::printf("%s %s\n", kTool, TOVALIN_VERSION);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
    }
    return std::nullopt;
}

// The address given on the command line, or an exit status for a command line the program
// cannot run with.
std::optional<int> ParseCommandLine(const QStringList& arguments, QString& address) {
    QCommandLineParser parser;
    DescribeCommandLine(parser);
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kTool,
                     parser.errorText().toLocal8Bit().constData(), kTool);
        return kExitUsage;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1) {
        std::fprintf(stderr,
                     "%s: one address at most, got %lld\nTry '%s --help' for more "
                     "information.\n",
                     kTool, static_cast<long long>(positional.size()), kTool);
        return kExitUsage;
    }
    if (!positional.isEmpty()) {
        address = positional.front();
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication::setApplicationName(QString::fromLatin1(kTool));
    if (const auto answered = AnswerWithoutWindow(argc, argv)) {
        return *answered;
    }
    PrepareWebViewProcess();
    // The web engine's renderer sandbox cannot run for root and the engine then refuses to
    // start at all; as root the view runs unsandboxed (scripts stay off either way).
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    TApplication app(argc, argv);
    WebViewProcessStarted();
    QString address;
    if (const auto status = ParseCommandLine(QApplication::arguments(), address)) {
        return *status;
    }
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/art/icon.png")));

    new TForm1();    // assigns Form1 and runs FormCreate; lives until the process ends
    Form1->winId();  // the system window now, shape included, before the first show
    Form1->show();   // first show: FormShow, then centred on the desktop, then visible
    if (!address.isEmpty()) {
        Form1->OpenTopic(address);
    }
    const int code = QApplication::exec();

    // Workers are never stopped or awaited: the process ends here and they end with it. No
    // destructors run, so nothing can wait on a worker still blocked in the network.
    std::fflush(nullptr);
    std::_Exit(code);
}
