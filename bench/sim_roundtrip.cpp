// Round trip of a G query through the simulated generator over a pseudo-terminal,
// with the reply paced at 115200 bit/s, compared with what the line rate allows.
// Usage: sim_roundtrip [count]   (prints figures; asserts nothing)

#include "sim/simulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Run {
    int latencyMs;
    bool pacing;
};

// Sends G, waits for the whole reply line, repeats; returns each round trip in us.
std::vector<double> measure(QCoreApplication &app, const Run &run, int count) {
    QTemporaryDir dir;
    sim::SimConfig config;
    config.linkPath = dir.filePath(QStringLiteral("COM5"));
    config.bootMs = 60;
    config.latencyMs = run.latencyMs;
    config.pacing = run.pacing;
    sim::Simulator simulator(config);
    if (!simulator.start())
        return {};

    QSerialPort port;
    port.setPortName(config.linkPath);
    if (!port.open(QIODevice::ReadWrite))
        return {};
    port.setBaudRate(QSerialPort::Baud115200);

    std::vector<double> times;
    QElapsedTimer clock;
    QByteArray pending;
    bool identified = false;
    auto sendQuery = [&] {
        clock.start();
        port.write("G\r\n");
    };
    QObject::connect(&port, &QSerialPort::readyRead, &app, [&] {
        pending += port.readAll();
        qsizetype end;
        while ((end = pending.indexOf("\r\n")) >= 0) {
            const QByteArray line = pending.left(end);
            pending.remove(0, end + 2);
            if (!identified) {
                identified = line.startsWith("KVT");
            } else {
                times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1000.0);
                if (static_cast<int>(times.size()) == count) {
                    app.exit(0);
                    return;
                }
            }
            if (identified)
                sendQuery();
        }
    });
    QTimer::singleShot(30000, &app, [&app] { app.exit(1); });
    app.exec();
    return times;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 200;
    const double byteUs = 10.0 * 1e6 / 115200.0;
    const int replyBytes = 11; // "#F7050000" CR LF
    std::printf("G round trip over a pseudo-terminal, %d queries each\n", count);
    std::printf("line-rate limit: %d reply bytes x %.1f us = %.1f us (+ 3 query bytes %.1f us)\n",
                replyBytes, byteUs, replyBytes * byteUs, 3 * byteUs);
    for (const Run &run : {Run{0, false}, Run{0, true}, Run{2, true}}) {
        std::vector<double> times = measure(app, run, count);
        if (times.empty()) {
            std::printf("latency %d ms, pacing %s: failed\n", run.latencyMs,
                        run.pacing ? "on" : "off");
            continue;
        }
        std::sort(times.begin(), times.end());
        double sum = 0;
        for (double t : times)
            sum += t;
        std::printf("latency %d ms, pacing %-3s: median %7.1f us  mean %7.1f us  p95 %7.1f us  "
                    "max %7.1f us\n",
                    run.latencyMs, run.pacing ? "on" : "off", times[times.size() / 2],
                    sum / static_cast<double>(times.size()), times[times.size() * 95 / 100],
                    times.back());
    }
    return 0;
}
