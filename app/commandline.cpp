#include "app/commandline.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <utility>

namespace CommandLine {
namespace {

// The options QApplication takes off the command line for itself (Qt's documented ones,
// with a value or without). They must pass the check before the window system is
// touched; they are not shown in the help.
constexpr const char *QtOptionsWithValue[] = {
    "platform",    "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",       "display", "geometry",
    "style",       "stylesheet",         "qmljsdebugger", "dialogs", "fontengine"};
constexpr const char *QtSwitches[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

const QString &traceName() {
    static const QString name = QStringLiteral("trace");
    return name;
}

} // namespace

void addOptions(QCommandLineParser &parser) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(QCommandLineOption(
        traceName(),
        QStringLiteral("Append every line sent to the generator and every frame received, "
                       "with a time stamp, to <file> (for a problem report; at most 50 MB)."),
        QStringLiteral("file")));
    parser.addOption(QCommandLineOption(
        QStringLiteral("remote"),
        QStringLiteral("Let scripts drive the generator in SCPI over TCP on <port> (5025 is "
                       "usual), on this computer only (127.0.0.1 and ::1)."),
        QStringLiteral("port")));
    parser.addOption(QCommandLineOption(
        QStringLiteral("remote-address"),
        QStringLiteral("With --remote, listen on <address> too, which makes the generator "
                       "reachable from other machines. There is no password: anyone who "
                       "reaches that address drives the generator."),
        QStringLiteral("address")));
    parser.addOption(QCommandLineOption(
        QStringLiteral("no-window"),
        QStringLiteral("With --remote, run without a window, as a service: no display is "
                       "needed. Its messages go to the standard error; it runs until it is "
                       "stopped (SIGTERM, SIGINT or SIGHUP).")));
    for (const char *name : QtOptionsWithValue) {
        QCommandLineOption option(QLatin1String(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char *name : QtSwitches) {
        QCommandLineOption option{QLatin1String(name)};
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

Request read(const QStringList &arguments) {
    QCommandLineParser parser;
    addOptions(parser);
    Request request;
    if (!parser.parse(arguments)) {
        request.kind = Request::Kind::Error;
        request.error = parser.errorText();
    } else if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("version")) ||
               parser.isSet(QStringLiteral("help-all"))) {
        request.kind = Request::Kind::Help;
    } else {
        request.traceFile = parser.value(traceName());
        for (auto [name, value] : {std::pair{QStringLiteral("remote"), &request.remotePort},
                                   {QStringLiteral("remote-address"), &request.remoteAddress}}) {
            if (parser.isSet(name))
                *value = parser.value(name);
        }
        request.noWindow = parser.isSet(QStringLiteral("no-window"));
        if (request.noWindow && !request.remotePort) {
            // Without a window only scripts can drive the generator.
            request.kind = Request::Kind::Error;
            request.error = QStringLiteral("--no-window needs --remote PORT: without a window "
                                           "the generator is driven only by scripts");
        }
    }
    return request;
}

} // namespace CommandLine
