// The KVT control program: builds the real services and the Instrument, then the front
// panel and, when asked, the remote server, both driving that one Instrument.
#include "app/commandline.h"
#include "app/filelocations.h"
#include "app/terminationsignals.h"
#include "instrument/instrument.h"
#include "instrument/processstarter.h"
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
#include <QFileInfo>
#include <QIcon>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

FileLocations locateFiles() {
    return FileLocations::locate(QCoreApplication::applicationDirPath(),
                                 qEnvironmentVariable("HOME"),
                                 [](const char *name) { return qEnvironmentVariable(name); });
}

// --help and --version, answered without a display (in a terminal, over ssh). The help
// names the folders where the program keeps its files. Ends the program.
[[noreturn]] void answerHelp(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kvt"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KVT_PROGRAM_VERSION));
    const FileLocations files = locateFiles();
    const QString folders = files.error.isEmpty()
                                ? QStringLiteral("Settings (KVT.INI) and COM<N> port links: %1\n"
                                                 "Firmware backups: %2")
                                      .arg(QDir::toNativeSeparators(files.settingsFolder),
                                           QDir::toNativeSeparators(files.backupFolder))
                                : files.error;
    QCommandLineParser parser;
    CommandLine::addOptions(parser);
    parser.setApplicationDescription(
        QStringLiteral("KVT Control Panel: drives a KVT bench RF signal generator over its "
                       "USB serial adapter.\n\n") +
        folders);
    parser.process(app); // prints the answer and ends the program
    std::exit(0);
}

// The program's icon in every size, built in.
QIcon programIcon() {
    QIcon icon;
    const QFileInfoList files =
        QDir(QStringLiteral(":/icons")).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo &file : files)
        icon.addFile(file.filePath());
    return icon;
}

} // namespace

int main(int argc, char *argv[]) {
    // The command line is read before the window system is touched, so a wrong option
    // is reported (and --help answered) in a terminal without a display as well.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine::Request request = CommandLine::read(arguments);
    if (request.kind == CommandLine::Request::Kind::Error) {
        std::fprintf(stderr, "%s: %s\n", qUtf8Printable(QFileInfo(arguments.value(0)).fileName()),
                     qUtf8Printable(request.error));
        return 1;
    }
    if (request.kind == CommandLine::Request::Kind::Help)
        answerHelp(argc, argv);
    const QString traceFile = request.traceFile;
    quint16 remotePort = 0; // 0: no remote control
    const QString remoteAddress = request.remoteAddress.value_or(QString());
    if (request.remotePort) {
        bool ok = false;
        const uint number = request.remotePort->toUInt(&ok);
        if (!ok || number == 0 || number > 65535) {
            std::fprintf(stderr, "KVT: --remote needs a port number from 1 to 65535, not %s\n",
                         qUtf8Printable(*request.remotePort));
            return 1;
        }
        remotePort = static_cast<quint16>(number);
    } else if (request.remoteAddress) {
        std::fprintf(stderr, "KVT: --remote-address is used only with --remote PORT\n");
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KVT Control Panel"));
    QApplication::setApplicationVersion(QStringLiteral(KVT_PROGRAM_VERSION));
    // The id of the program's menu entry: task lists and the window system match its
    // windows to the entry, its name and its icon by it.
    QGuiApplication::setDesktopFileName(QStringLiteral(KVT_APP_ID));
    QApplication::setWindowIcon(programIcon());
    QApplication::setQuitOnLastWindowClosed(false);

    const FileLocations files = locateFiles();
    if (!files.error.isEmpty()) {
        std::fprintf(stderr, "KVT: %s.\n", qUtf8Printable(files.error));
        return 1;
    }

#ifdef Q_OS_UNIX
    // A trace into a pipe whose reader has gone fails its write (and stops); it must not
    // end the program.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    std::unique_ptr<LineTrace> trace;
    if (!traceFile.isEmpty()) {
        trace = std::make_unique<LineTrace>(traceFile);
        QString error;
        if (!trace->open(QStringLiteral(KVT_PROGRAM_VERSION), &error)) {
            // The trace is for a report; the generator can be used without it.
            std::fprintf(stderr,
                         "KVT: cannot write the trace file %s (%s); running without "
                         "a trace\n",
                         qUtf8Printable(traceFile), qUtf8Printable(error));
            trace.reset();
        }
    }

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
    services.packaged = files.perUser;
    services.today = [] { return QDate::currentDate(); };
    services.now = [] { return QDateTime::currentDateTime(); };
    services.quit = [] { QCoreApplication::exit(0); };

    Instrument instrument(port, time, files.settingsFolder, services.quit);
    instrument.link().setTrace(trace.get());
    MainWindow window(instrument, services);
    TerminationSignals stopRequests;
    QObject::connect(&stopRequests, &TerminationSignals::requested, &window,
                     [&window] { window.endOnRequest(); });

    // Remote control, only when asked for. Declared after the window, so it goes first.
    std::unique_ptr<RemoteServer> remote;
    if (remotePort != 0) {
        remote = std::make_unique<RemoteServer>(instrument);
        QString error;
        if (remote->listen(remotePort, remoteAddress, &error)) {
            // An extra address that could not be used: the loopback ones still listen.
            if (!error.isEmpty())
                std::fprintf(stderr, "KVT: remote control: %s\n", qUtf8Printable(error));
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
    instrument.link().setTrace(nullptr);
    return result;
}
