// The KVT control program: builds the real services and shows the front panel.
#include "link/serialport.h"
#include "link/services.h"
#include "link/timesource.h"
#include "panel/mainwindow.h"
#include "widgets/qtdialogs.h"

#include <QApplication>
#include <QDate>
#include <QTimer>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KVT Control Panel"));
    QApplication::setQuitOnLastWindowClosed(false);

    const QString folder = QCoreApplication::applicationDirPath();
    QtTimeSource time;
    QtSerialPort port(std::make_shared<PortNames>(folder));
    QtDialogs dialogs;
    QtProcessStarter processes;

    Services services;
    services.port = &port;
    services.time = &time;
    services.dialogs = &dialogs;
    services.processes = &processes;
    services.programFolder = folder;
    services.settingsFolder = folder;
    services.backupFolder = folder;
    services.today = [] { return QDate::currentDate(); };
    services.quit = [] { QCoreApplication::exit(0); };

    MainWindow form(services);
    // The load step waits on the event loop, so it starts once the loop runs.
    QTimer::singleShot(0, &form, [&form] { form.start(); });
    return app.exec();
}
