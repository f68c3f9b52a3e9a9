#include "app/windowedprogram.h"

#include "app/instrumenthost.h"
#include "app/terminationsignals.h"
#include "instrument/processstarter.h"
#include "panel/mainwindow.h"
#include "remote/remoteserver.h"
#include "widgets/qtdialogs.h"
#include "widgets/services.h"

#include <QApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>
#include <cstdio>

namespace {

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

int runWithWindow(int &argc, char *argv[], const StartOptions &options) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KVT Control Panel"));
    QApplication::setApplicationVersion(QStringLiteral(KVT_PROGRAM_VERSION));
    // The id of the program's menu entry: task lists and the window system match its
    // windows to the entry, its name and its icon by it.
    QGuiApplication::setDesktopFileName(QStringLiteral(KVT_APP_ID));
    QApplication::setWindowIcon(programIcon());
    QApplication::setQuitOnLastWindowClosed(false);

    const FileLocations files = locateProgramFiles();
    if (!files.error.isEmpty()) {
        std::fprintf(stderr, "KVT: %s.\n", qUtf8Printable(files.error));
        return 1;
    }

    InstrumentHost host(files, [] { QCoreApplication::exit(0); });
    host.startTrace(options.traceFile);
    QtDialogs dialogs;
    QtProcessStarter processes;

    Services services;
    services.port = &host.port();
    services.time = &host.time();
    services.dialogs = &dialogs;
    services.processes = &processes;
    services.programFolder = files.programFolder;
    services.settingsFolder = files.settingsFolder;
    services.backupFolder = files.backupFolder;
    services.packaged = files.perUser;
    services.today = [] { return QDate::currentDate(); };
    services.now = [] { return QDateTime::currentDateTime(); };
    services.quit = [] { QCoreApplication::exit(0); };

    MainWindow window(host.instrument(), services);
    TerminationSignals stopRequests;
    QObject::connect(&stopRequests, &TerminationSignals::requested, &window,
                     [&window] { window.endOnRequest(); });

    // Remote control, only when asked for; the panel works without it.
    if (options.remotePort != 0) {
        QString error;
        if (host.startRemote(options.remotePort, options.remoteAddress, &error))
            QObject::connect(host.remote(), &RemoteServer::clientCountChanged, &window,
                             &MainWindow::showRemoteClients);
        else
            std::fprintf(stderr, "KVT: remote control is off: %s\n", qUtf8Printable(error));
    }
    // The load step waits on the event loop, so it starts once the loop runs.
    QTimer::singleShot(0, &window, [&window] { window.start(); });
    const int result = app.exec();
    // The remote control goes before the window, as it came after it.
    host.stop();
    return result;
}
