// The KVT control program: builds the real services and shows the front panel.
#include "link/commandline.h"
#include "link/filelocations.h"
#include "link/linetrace.h"
#include "link/link.h"
#include "link/serialport.h"
#include "link/timesource.h"
#include "panel/mainwindow.h"
#include "widgets/qtdialogs.h"
#include "widgets/services.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDate>
#include <QDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

FileLocations locateFiles() {
    return FileLocations::locate(QCoreApplication::applicationDirPath(), QDir::homePath(),
                                 [](const char *name) { return qEnvironmentVariable(name); });
}

// Help, version and a wrong command line are answered as QCommandLineParser::process
// answers them (it prints and ends the program), with the folders the program uses.
[[noreturn]] void answer(const QCoreApplication &app) {
    const FileLocations files = locateFiles();
    QCommandLineParser parser;
    CommandLine::describe(parser, files.settingsFolder, files.backupFolder);
    parser.process(app);
    std::exit(1); // not reached: process() ends the program for every answer
}

// --help and --version are answered before the window system is touched, so they work
// in a terminal without a display (over ssh), in whatever form the parser accepts
// ("-hv", "--trace=x --help"), and so is any command line that names one of them
// literally, even when it is wrong ("-?" is Windows' help option only). Everything else
// is read again once QApplication has taken its own options (-platform, -style) out of
// the arguments.
void answerWithoutWindows(int argc, char *argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine::Request::Kind kind = CommandLine::read(arguments).kind;
    bool early =
        kind == CommandLine::Request::Kind::Help || kind == CommandLine::Request::Kind::Version;
    for (const QString &argument : arguments.mid(1)) {
        for (const char *option : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
            early = early || argument == QLatin1String(option);
    }
    if (!early)
        return;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kvt"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KVT_PROGRAM_VERSION));
    answer(app);
}

} // namespace

int main(int argc, char *argv[]) {
    answerWithoutWindows(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KVT Control Panel"));
    QApplication::setApplicationVersion(QStringLiteral(KVT_PROGRAM_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    const CommandLine::Request request = CommandLine::read(QCoreApplication::arguments());
    if (request.kind != CommandLine::Request::Kind::Run)
        answer(app);

    std::unique_ptr<LineTrace> trace;
    if (!request.traceFile.isEmpty()) {
        trace = std::make_unique<LineTrace>(request.traceFile);
        QString error;
        if (!trace->open(QStringLiteral(KVT_PROGRAM_VERSION), &error)) {
            std::fprintf(stderr, "KVT: cannot write the trace file %s: %s\n",
                         qUtf8Printable(request.traceFile), qUtf8Printable(error));
            return 1;
        }
    }

    const FileLocations files = locateFiles();
    QtTimeSource time;
    QtSerialPort port(std::make_shared<PortNames>(files.settingsFolder));
    QtDialogs dialogs;
    QtProcessStarter processes;

    Services services;
    services.port = &port;
    services.time = &time;
    services.dialogs = &dialogs;
    services.processes = &processes;
    services.programFolder = files.programFolder;
    services.settingsFolder = files.settingsFolder;
    services.backupFolder = files.backupFolder;
    services.today = [] { return QDate::currentDate(); };
    services.quit = [] { QCoreApplication::exit(0); };

    MainWindow window(services);
    window.link().setTrace(trace.get());
    // The load step waits on the event loop, so it starts once the loop runs.
    QTimer::singleShot(0, &window, [&window] { window.start(); });
    const int result = app.exec();
    window.link().setTrace(nullptr);
    return result;
}
