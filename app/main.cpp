// The KVT control program: builds the real services and shows the front panel.
#include "link/filelocations.h"
#include "link/linetrace.h"
#include "link/link.h"
#include "link/serialport.h"
#include "link/terminationsignals.h"
#include "link/timesource.h"
#include "panel/mainwindow.h"
#include "setup/processstarter.h"
#include "widgets/qtdialogs.h"
#include "widgets/services.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDate>
#include <QDir>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

FileLocations locateFiles() {
    return FileLocations::locate(QCoreApplication::applicationDirPath(), QDir::homePath(),
                                 [](const char *name) { return qEnvironmentVariable(name); });
}

struct Options {
    QString traceFile; // empty: no trace
};

// --help, --version and --trace FILE. The help names the folders where the program keeps
// its files. Help, version and a wrong command line end the program here, as
// QCommandLineParser does.
Options parseCommandLine(const QCoreApplication &app) {
    const FileLocations files = locateFiles();
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("KVT Control Panel: drives a KVT bench RF signal generator over its "
                       "USB serial adapter.\n\n"
                       "Settings (KVT.INI) and COM<N> port links: %1\n"
                       "Firmware backups: %2")
            .arg(QDir::toNativeSeparators(files.settingsFolder),
                 QDir::toNativeSeparators(files.backupFolder)));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption trace(
        QStringLiteral("trace"),
        QStringLiteral("Append every line sent to the generator and every frame received, "
                       "with a time stamp, to <file> (for a problem report; at most 50 MB)."),
        QStringLiteral("file"));
    parser.addOption(trace);
    parser.process(app);
    return Options{parser.value(trace)};
}

// --help and --version are answered before the window system is touched, so they work
// in a terminal without a display (over ssh). Returns false when the program should
// start its window.
bool answerHelp(int argc, char *argv[]) {
    bool asked = false;
    for (int i = 1; i < argc; ++i) {
        for (const char *option : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
            asked = asked || std::strcmp(argv[i], option) == 0;
    }
    if (!asked)
        return false;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kvt"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KVT_PROGRAM_VERSION));
    parseCommandLine(app); // prints the answer and ends the program
    return true;
}

} // namespace

int main(int argc, char *argv[]) {
    if (answerHelp(argc, argv))
        return 0;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KVT Control Panel"));
    QApplication::setApplicationVersion(QStringLiteral(KVT_PROGRAM_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    const Options options = parseCommandLine(app);

#ifdef Q_OS_UNIX
    // A trace into a pipe whose reader has gone fails its write (and stops); it must not
    // end the program.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    std::unique_ptr<LineTrace> trace;
    if (!options.traceFile.isEmpty()) {
        trace = std::make_unique<LineTrace>(options.traceFile);
        QString error;
        if (!trace->open(QStringLiteral(KVT_PROGRAM_VERSION), &error)) {
            // The trace is for a report; the generator can be used without it.
            std::fprintf(stderr,
                         "KVT: cannot write the trace file %s (%s); running without "
                         "a trace\n",
                         qUtf8Printable(options.traceFile), qUtf8Printable(error));
            trace.reset();
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
    TerminationSignals stopRequests;
    QObject::connect(&stopRequests, &TerminationSignals::requested, &window,
                     [&window] { window.endOnRequest(); });
    // The load step waits on the event loop, so it starts once the loop runs.
    QTimer::singleShot(0, &window, [&window] { window.start(); });
    const int result = app.exec();
    window.link().setTrace(nullptr);
    return result;
}
