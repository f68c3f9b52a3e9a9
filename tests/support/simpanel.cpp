#include "tests/support/simpanel.h"

#include <QEventLoop>
#include <QFile>
#include <QSignalSpy>
#include <QTimer>

bool runUntil(const std::function<bool()> &done, int ms) {
    QEventLoop loop;
    QTimer poll, limit;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] { loop.quit(); });
    poll.start(1);
    limit.setSingleShot(true);
    limit.start(ms);
    if (!done())
        loop.exec();
    return done();
}

void SimulatedPanel::startPanel(sim::SimConfig config, int portNumber) {
    ASSERT_TRUE(dir.isValid());
    QFile ini(dir.filePath(QStringLiteral("KVT.INI")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("COM Port=%1\r\n 0\r\nSP=TOLK\r\n 100\r\n 57600\r\n")
                  .arg(portNumber)
                  .toLatin1());
    ini.close();

    config.linkPath = dir.filePath(QStringLiteral("COM%1").arg(portNumber));
    simulator = std::make_unique<sim::Simulator>(config);
    QString error;
    ASSERT_TRUE(simulator->start(&error)) << error.toStdString();

    port = std::make_unique<QtSerialPort>(std::make_shared<PortNames>(dir.path()));
    Services services;
    services.port = port.get();
    services.time = &time;
    services.dialogs = &dialogs;
    services.processes = &processes;
    services.programFolder = dir.path();
    services.today = [] { return QDate(2026, 12, 7); };
    services.quit = [] {};
    form = std::make_unique<Form1>(services);

    QSignalSpy loaded(form.get(), &Form1::loaded);
    form->start();
    ASSERT_TRUE(loaded.wait(15000));
}

void SimulatedPanel::TearDown() {
    form.reset();
    port.reset();
    simulator.reset();
}
