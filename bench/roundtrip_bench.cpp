// Round trip over a pseudo-terminal: the program's link sends "G", the in-process
// simulator answers "#F..." at the line rate, the program reads and parses the reply
// and renders the panel. Prints the round trip against the line-rate limit for the
// bytes exchanged (86.8 us a byte at 115200 bit/s) and the program's own share.
//
//   roundtrip_bench [round trips]   (default 200)
#include "link/commands.h"
#include "link/devicestate.h"
#include "link/link.h"
#include "link/serialport.h"
#include "link/timesource.h"
#include "panel/panelview.h"
#include "sim/simulator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
constexpr double UsPerByte = 10.0 * 1e6 / 115200.0;

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(p * static_cast<double>(v.size() - 1))];
}
} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 200;

    QTemporaryDir dir;
    sim::SimConfig config;
    config.linkPath = QDir(dir.path()).filePath(QStringLiteral("COM2"));
    config.latencyMs = 0;
    config.bootMs = 50;
    sim::Simulator simulator(config);
    QString error;
    if (!simulator.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }

    DeviceState state;
    state.portNumber = 2;
    state.outputOn = 1;
    QtTimeSource time;
    QtSerialPort port(std::make_shared<PortNames>(dir.path()));
    Link link(state, port, time);
    if (link.openPort() != 0) {
        std::fprintf(stderr, "cannot open the simulator's port\n");
        return 1;
    }

    QEventLoop loop;
    QElapsedTimer handling;
    qint64 programNs = 0;
    bool gotF = false;
    QObject::connect(&link, &Link::replyHandled, &loop, [&](const ReplyEffects &effects) {
        handling.start();
        const auto view = renderPanel(state);
        programNs += handling.nsecsElapsed();
        if (view && effects.letter == u'F') {
            gotF = true;
            loop.quit();
        } else if (effects.kind == ReplyEffects::Kind::Identity) {
            loop.quit();
        }
    });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec(); // the identity line
    if (state.connected != 1) {
        std::fprintf(stderr, "no identity line\n");
        return 1;
    }

    const QByteArray reply = "#F" + QByteArray::number(simulator.carrier()) + "\r\n";
    // On a real line both directions take their line time; the pseudo-terminal passes
    // the program's own bytes at once and only the simulator paces its reply.
    const double lineUs = static_cast<double>(3 + reply.size()) * UsPerByte;
    const double pacedUs = static_cast<double>(reply.size()) * UsPerByte;
    std::vector<double> rtt;
    QElapsedTimer clock;
    for (int i = 0; i < runs; ++i) {
        gotF = false;
        clock.start();
        link.sendCommand(Commands::pollCarrier());
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
        guard.start(2000);
        loop.exec();
        if (!gotF) {
            std::fprintf(stderr, "round trip %d: no reply\n", i);
            return 1;
        }
        rtt.push_back(static_cast<double>(clock.nsecsElapsed()) / 1000.0);
    }

    std::printf("round trips: %d, bytes each: %lld (G CR LF + %s CR LF)\n", runs,
                static_cast<long long>(3 + reply.size()), reply.trimmed().constData());
    std::printf("line-rate limit on a real line: %.0f us; paced here (the reply): %.0f us\n",
                lineUs, pacedUs);
    std::printf("round trip: median %.0f us, p95 %.0f us, min %.0f us\n", percentile(rtt, 0.5),
                percentile(rtt, 0.95), *std::min_element(rtt.begin(), rtt.end()));
    std::printf("above the paced reply (median; pty, simulator and program): %.0f us\n",
                percentile(rtt, 0.5) - pacedUs);
    std::printf("program's parse + render per reply: %.1f us\n",
                static_cast<double>(programNs) / 1000.0 / runs);
    return 0;
}
