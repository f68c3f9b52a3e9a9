// The KVT control program: builds the real services and shows the front panel.
#include "link/linetrace.h"
#include "link/link.h"
#include "link/serialport.h"
#include "link/services.h"
#include "link/timesource.h"
#include "panel/mainwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDate>
#include <QTimer>
#include <cstdio>
#include <memory>

namespace {

struct Options {
    QString traceFile; // empty: no trace
};

// --help, --version and --trace FILE. Help, version and a wrong command line end the
// program here, as QCommandLineParser does.
Options parseCommandLine(const QCoreApplication &app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Control panel of a KVT service signal generator on a serial port."));
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

} // namespace

int main(int argc, char *argv[]) {
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
    services.today = [] { return QDate::currentDate(); };
    services.quit = [] { QCoreApplication::exit(0); };

    MainWindow form(services);
    form.link().setTrace(trace.get());
    // The load step waits on the event loop, so it starts once the loop runs.
    QTimer::singleShot(0, &form, [&form] { form.start(); });
    const int result = app.exec();
    form.link().setTrace(nullptr);
    return result;
}
