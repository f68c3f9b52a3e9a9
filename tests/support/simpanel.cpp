#include "tests/support/simpanel.h"

#include "tests/support/instrumentaccess.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTimer>

bool SimulatedPanelRig::startPanel(sim::SimConfig config, int portNumber, QString *error) {
    if (!dir.isValid() || !writeSettingsFile(dir.path(), portNumber)) {
        *error = QStringLiteral("cannot write the settings file");
        return false;
    }
    config.linkPath = dir.filePath(QStringLiteral("COM%1").arg(portNumber));
    simulator = std::make_unique<sim::Simulator>(config);
    if (!simulator->start(error))
        return false;

    port = std::make_unique<QtSerialPort>(std::make_shared<PortNames>(dir.path()));
    Services services;
    services.port = port.get();
    services.time = &time;
    services.dialogs = &dialogs;
    processes.time = &time;
    services.processes = processStarter ? processStarter : &processes;
    services.programFolder = dir.path();
    services.settingsFolder = dir.path();
    services.backupFolder = dir.path();
    services.today = [] { return QDate(2026, 12, 7); };
    services.now = [] { return QDateTime(QDate(2026, 12, 9), QTime(14, 3, 12)); };
    services.quit = [] {};
    instrument = std::make_unique<Instrument>(*port, time, dir.path(), services.quit);
    window = std::make_unique<MainWindow>(*instrument, services);

    // Connected and polling takes about 3 s; the bound is for a machine loaded by
    // other tests, and costs nothing when the panel connects sooner.
    QSignalSpy loaded(window.get(), &MainWindow::loaded);
    window->start();
    if (!loaded.wait(60000)) {
        *error = QStringLiteral("the panel did not connect to the simulator (last port tried "
                                "COM%1, generator %2)")
                     .arg(record().portNumber)
                     .arg(record().connected ? "connected" : "not connected");
        return false;
    }
    return true;
}

DeviceState &SimulatedPanelRig::record() {
    return InstrumentTestAccess::record(*instrument);
}

void SimulatedPanelRig::stopPanel() {
    window.reset();
    instrument.reset();
    port.reset();
    simulator.reset();
}
