// Remote control's own cost, against the in-process simulator over a pseudo-terminal:
//  1. a burst of FREQ commands from one client: the time from the client's write to
//     each command's serial write, and the gap between consecutive serial writes
//     (what the program adds per command, with the G question after each that shows
//     at once whether a sweep ended), median and worst;
//  2. FREQ? round trips (the program asks the generator afresh), median and worst,
//     at the simulator's default reply latency;
//  3. the process's CPU time over a quiet spell, without a client and with one idle
//     client connected (the simulator runs in the same process, idle too).
//
//   remote_bench [burst] [round trips] [quiet seconds]   (default 1000 100 5)
#include "instrument/instrument.h"
#include "link/devicestate.h"
#include "link/link.h"
#include "link/serialport.h"
#include "link/timesource.h"
#include "remote/remoteserver.h"
#include "sim/simulator.h"
#include "tests/support/instrumentaccess.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

// The real port, noting when each command line is written to it.
class TimedPort final : public SerialPort {
public:
    TimedPort(SerialPort &inner, std::function<void(const QByteArray &)> written)
        : m_inner(inner), m_written(std::move(written)) {
        connect(&m_inner, &SerialPort::readyRead, this, &SerialPort::readyRead);
    }
    int open(int portNumber) override { return m_inner.open(portNumber); }
    int reopen() override { return m_inner.reopen(); }
    void close() override { m_inner.close(); }
    bool isOpen() const override { return m_inner.isOpen(); }
    void write(const QByteArray &bytes) override {
        m_inner.write(bytes);
        m_written(bytes);
    }
    QByteArray read(qint64 maxBytes) override { return m_inner.read(maxBytes); }
    qint64 bytesAvailable() const override { return m_inner.bytesAvailable(); }
    QString systemName() const override { return m_inner.systemName(); }

private:
    SerialPort &m_inner;
    std::function<void(const QByteArray &)> m_written;
};

double at(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(p * static_cast<double>(v.size() - 1))];
}

bool runUntil(const std::function<bool()> &done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QEventLoop loop;
        QTimer::singleShot(1, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

double cpuSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int burst = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;
    const int trips = argc > 2 ? std::max(1, atoi(argv[2])) : 100;
    const int quietS = argc > 3 ? std::max(1, atoi(argv[3])) : 5;

    QTemporaryDir dir;
    sim::SimConfig config;
    config.linkPath = QDir(dir.path()).filePath(QStringLiteral("COM2"));
    config.bootMs = 50; // the default reply latency stays
    sim::Simulator simulator(config);
    QString error;
    if (!simulator.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }

    QtTimeSource time;
    QtSerialPort realPort(std::make_shared<PortNames>(dir.path()));
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> writes; // ns, F lines only
    TimedPort port(realPort, [&](const QByteArray &bytes) {
        if (bytes.startsWith('F'))
            writes.push_back(clock.nsecsElapsed());
    });
    Instrument generator(port, time, dir.path(), [] {});
    DeviceState &state = InstrumentTestAccess::record(generator);
    state.portNumber = 2;
    state.outputOn = 1;
    if (generator.link().openPort() != 0) {
        std::fprintf(stderr, "cannot open the simulator's port\n");
        return 1;
    }
    if (!runUntil([&] { return generator.connected(); }, 5000)) {
        std::fprintf(stderr, "no identity line\n");
        return 1;
    }

    RemoteServer server(generator);
    if (!server.listen(0, {}, &error)) {
        std::fprintf(stderr, "listen: %s\n", qPrintable(error));
        return 1;
    }
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.port());
    if (!client.waitForConnected(5000) ||
        !runUntil([&] { return server.clientCount() == 1; }, 5000)) {
        std::fprintf(stderr, "cannot connect\n");
        return 1;
    }

    // 1. The burst.
    QByteArray lines;
    for (int i = 0; i < burst; ++i)
        lines += "FREQ " + QByteArray::number(1000000 + i) + '\n';
    writes.clear();
    const qint64 sentAt = clock.nsecsElapsed();
    client.write(lines);
    if (!runUntil([&] { return static_cast<int>(writes.size()) >= burst; }, 60000)) {
        std::fprintf(stderr, "burst: %zu of %d written\n", writes.size(), burst);
        return 1;
    }
    std::vector<double> gaps, delays;
    for (size_t i = 0; i < writes.size(); ++i) {
        delays.push_back(static_cast<double>(writes[i] - sentAt) / 1000.0);
        gaps.push_back(static_cast<double>(writes[i] - (i == 0 ? sentAt : writes[i - 1])) / 1000.0);
    }
    std::printf("burst of %d FREQ: all written %.1f ms after the client's write\n", burst,
                delays.back() / 1000.0);
    const auto worstGap = std::max_element(gaps.begin(), gaps.end());
    std::printf("  per command (gap between serial writes): median %.1f us, p99 %.1f us, "
                "worst %.1f us (command %d)\n",
                at(gaps, 0.5), at(gaps, 0.99), *worstGap,
                static_cast<int>(worstGap - gaps.begin()) + 1);
    std::printf("  client write to serial write: median %.1f us, worst %.1f us\n", at(delays, 0.5),
                *std::max_element(delays.begin(), delays.end()));
    runUntil([] { return false; }, 500); // the simulator takes the rest of the burst

    // 2. FREQ? round trips.
    std::vector<double> rtt;
    for (int i = 0; i < trips; ++i) {
        client.readAll();
        const qint64 start = clock.nsecsElapsed();
        client.write("FREQ?\n");
        if (!runUntil([&] { return client.canReadLine(); }, 5000)) {
            std::fprintf(stderr, "round trip %d: no answer\n", i);
            return 1;
        }
        rtt.push_back(static_cast<double>(clock.nsecsElapsed() - start) / 1000.0);
        if (client.readLine().startsWith("9.91E37")) {
            std::fprintf(stderr, "round trip %d: not answered\n", i);
            return 1;
        }
    }
    std::printf("FREQ? round trip (G asked afresh, simulator latency %d ms): median %.2f ms, "
                "worst %.2f ms\n",
                config.latencyMs, at(rtt, 0.5) / 1000.0,
                *std::max_element(rtt.begin(), rtt.end()) / 1000.0);

    // 3. CPU while quiet, with the client connected and without it.
    auto quietCpu = [&] {
        const double before = cpuSeconds();
        QEventLoop loop;
        QTimer::singleShot(quietS * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        return (cpuSeconds() - before) / quietS * 100.0;
    };
    const double withClient = quietCpu();
    client.disconnectFromHost();
    runUntil([&] { return server.clientCount() == 0; }, 5000);
    const double without = quietCpu();
    std::printf("CPU over %d s quiet: %.3f %% with one idle client, %.3f %% without\n", quietS,
                withClient, without);
    return 0;
}
