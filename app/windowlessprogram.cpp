#include "app/windowlessprogram.h"

#include "app/instrumenthost.h"
#include "app/terminationsignals.h"
#include "instrument/connection.h"
#include "instrument/connectionlog.h"
#include "link/procedure.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

namespace {

// The Morse speed until KVT.INI gives one: where the panel's speed slider starts.
constexpr int DefaultMorseSpeed = 100;

void writeLine(const QString &message) {
    std::fprintf(stderr, "%s\n", qUtf8Printable(message));
    std::fflush(stderr);
}

// Discovery never gives up without a window (ConnectionLog retries each pass), so this
// ends only with the program.
QCoro::Task<> findGenerator(Connection &connection) {
    co_await connection.connectGenerator();
}

} // namespace

int runWithoutWindow(int &argc, char *argv[], const StartOptions &options) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("KVT Control Panel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KVT_PROGRAM_VERSION));

    const FileLocations files = locateProgramFiles();
    if (!files.error.isEmpty()) {
        writeLine(QStringLiteral("KVT: %1.").arg(files.error));
        return 1;
    }

    InstrumentHost host(files, [] { QCoreApplication::exit(0); });
    Instrument &instrument = host.instrument();
    // Scripts are its only use: a port it cannot listen on (taken by another instance,
    // say) ends it before it touches the generator's port.
    QString error;
    if (!host.startRemote(options.remotePort, options.remoteAddress, &error)) {
        writeLine(QStringLiteral("KVT: cannot listen for remote control: %1").arg(error));
        return 1;
    }
    host.startTrace(options.traceFile);
    writeLine(QStringLiteral("KVT: remote control on port %1").arg(options.remotePort));

    ConnectionLog log(writeLine, files.perUser);
    instrument.setConnectionWindows(&log);
    QObject::connect(&instrument, &Instrument::failed, &app,
                     [](const QString &what) { writeLine(QStringLiteral("KVT: ") + what); });
    // Ends as Exit does: the port closed (so no lock file is left), then the loop.
    TerminationSignals stopRequests;
    QObject::connect(&stopRequests, &TerminationSignals::requested, &app,
                     [&instrument] { instrument.connection().endProgram(); });

    // KVT.INI as the panel reads it (the saved port, the Morse speed); there is no Power
    // button, so it is never written.
    instrument.setMorseSpeed(DefaultMorseSpeed);
    instrument.readSettings();
    // Discovery waits on the event loop, so it starts once the loop runs.
    QTimer::singleShot(0, &app, [&instrument] {
        runProcedure(findGenerator(instrument.connection()),
                     [](const QString &what) { writeLine(QStringLiteral("KVT: ") + what); });
    });
    const int result = app.exec();
    host.stop();
    instrument.setConnectionWindows(nullptr);
    return result;
}
