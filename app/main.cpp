// The KVT control program: builds the real services and shows the front panel.
#include "link/filelocations.h"
#include "link/linetrace.h"
#include "link/link.h"
#include "link/serialport.h"
#include "link/timesource.h"
#include "panel/mainwindow.h"
#include "remote/remoteserver.h"
#include "widgets/qtdialogs.h"
#include "widgets/services.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDate>
#include <QDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

FileLocations locateFiles() {
    return FileLocations::locate(QCoreApplication::applicationDirPath(), QDir::homePath(),
                                 [](const char *name) { return qEnvironmentVariable(name); });
}

struct Options {
    QString traceFile;      // empty: no trace
    quint16 remotePort = 0; // 0: no remote control
    QString remoteAddress;  // listened on besides the loopback addresses
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
    const QCommandLineOption remote(
        QStringLiteral("remote"),
        QStringLiteral("Let scripts drive the generator in SCPI over TCP on <port> (5025 is "
                       "usual), on this computer only (127.0.0.1 and ::1)."),
        QStringLiteral("port"));
    parser.addOption(remote);
    const QCommandLineOption remoteAddress(
        QStringLiteral("remote-address"),
        QStringLiteral("With --remote, listen on <address> too, which makes the generator "
                       "reachable from other machines. There is no password: anyone who "
                       "reaches that address drives the generator."),
        QStringLiteral("address"));
    parser.addOption(remoteAddress);
    parser.process(app);
    Options options;
    options.traceFile = parser.value(trace);
    if (parser.isSet(remote)) {
        bool ok = false;
        const uint port = parser.value(remote).toUInt(&ok);
        if (!ok || port == 0 || port > 65535) {
            std::fprintf(stderr, "KVT: --remote needs a port number from 1 to 65535, not %s\n",
                         qUtf8Printable(parser.value(remote)));
            std::exit(1);
        }
        options.remotePort = static_cast<quint16>(port);
        options.remoteAddress = parser.value(remoteAddress);
    } else if (parser.isSet(remoteAddress)) {
        std::fprintf(stderr, "KVT: --remote-address is used only with --remote PORT\n");
    }
    return options;
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

    std::unique_ptr<LineTrace> trace;
    if (!options.traceFile.isEmpty()) {
        trace = std::make_unique<LineTrace>(options.traceFile);
        QString error;
        if (!trace->open(QStringLiteral(KVT_PROGRAM_VERSION), &error)) {
            std::fprintf(stderr, "KVT: cannot write the trace file %s: %s\n",
                         qUtf8Printable(options.traceFile), qUtf8Printable(error));
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

    // Remote control, only when asked for. Declared after the window, so it goes first.
    std::unique_ptr<RemoteServer> remote;
    if (options.remotePort != 0) {
        remote = std::make_unique<RemoteServer>(window.generator());
        QString error;
        if (remote->listen(options.remotePort, options.remoteAddress, &error)) {
            remote->setTrace(trace.get());
            QObject::connect(remote.get(), &RemoteServer::clientCountChanged, &window,
                             &MainWindow::showRemoteClients);
        } else {
            std::fprintf(stderr, "KVT: remote control is off: %s\n", qUtf8Printable(error));
            remote.reset();
        }
    }
    // The load step waits on the event loop, so it starts once the loop runs.
    QTimer::singleShot(0, &window, [&window] { window.start(); });
    const int result = app.exec();
    remote.reset();
    window.link().setTrace(nullptr);
    return result;
}
