// Preset read-out time: the real main window reads the twelve presets of the
// in-process simulator over a pseudo-terminal, with the simulator sending at the line
// rate (115200 bit/s, 10 bits a byte: 86.8 us a byte). Prints each run and the
// summary against the line-rate limit for the bytes exchanged.
//
//   presets_bench [runs] [latency-ms] [load-runs]   (defaults 20, 2 ms: the simulator's
//                                                    own, 3)
//
// The floor of a read-out: the line time of every byte exchanged, plus for each preset
// the generator's latency (the link reads a reply as soon as it arrives).
//
// Then the load of a preset set in which all twelve are plain presets that differ from
// what the generator holds (Instrument::loadPresets, the plan made beforehand and not
// timed). Its floor is the generator's 100 ms after each of a preset's three commands,
// twelve times, plus twelve read-backs, each taken as one preset of the read-out above.
#include "instrument/instrument.h"
#include "link/link.h"
#include "panel/mainwindow.h"
#include "presets/presetcontrol.h"
#include "sim/simulator.h"
#include "tests/support/simpanel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
constexpr double UsPerByte = 10.0 * 1e6 / 115200.0;
} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    const int latencyMs = argc > 2 ? std::max(0, atoi(argv[2])) : 2;

    SimulatedPanelRig rig;
    sim::SimConfig config;
    config.bootMs = 100;
    config.pacing = true;
    config.latencyMs = latencyMs;
    QString error;
    if (!rig.startPanel(config, 4, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    sim::Simulator &simulator = *rig.simulator;
    MainWindow &window = *rig.window;

    // Bytes of the read-out on the line: K queries out, K replies in, CR LF each.
    qint64 bytes = 0;
    int queries = 0;
    QObject::connect(&simulator, &sim::Simulator::lineReceived, &simulator,
                     [&](const QString &line) {
                         if (line.startsWith(QLatin1Char('K'))) {
                             bytes += line.size() + 2;
                             ++queries;
                         }
                     });
    QObject::connect(&simulator, &sim::Simulator::frameSent, &simulator,
                     [&](const QByteArray &frame) {
                         if (frame.startsWith("#K"))
                             bytes += frame.size() + 2;
                     });

    std::printf("preset read-out against the simulator at 115200 bit/s over a pseudo-terminal,\n"
                "reply latency %d ms\n",
                latencyMs);
    std::printf("%4s %10s %8s %8s %12s\n", "run", "time ms", "queries", "bytes", "line ms");
    std::vector<double> times;
    std::vector<double> limits;
    for (int run = 1; run <= runs; ++run) {
        bytes = 0;
        queries = 0;
        QEventLoop loop;
        QElapsedTimer clock;
        bool done = false;
        bool complete = false;
        clock.start();
        auto task = ui(window).presets->readPresets();
        task.then([&](bool ok) {
            done = true;
            complete = ok;
            loop.quit();
        });
        if (!done)
            loop.exec();
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        // Let the last reply's bytes be counted and the line fall quiet.
        QEventLoop settle;
        QTimer::singleShot(20, &settle, &QEventLoop::quit);
        settle.exec();
        const double lineMs = static_cast<double>(bytes) * UsPerByte / 1000.0;
        times.push_back(ms);
        limits.push_back(lineMs);
        std::printf("%4d %10.1f %8d %8lld %12.1f\n", run, ms, queries,
                    static_cast<long long>(bytes), lineMs);
        if (!complete) {
            std::fprintf(stderr, "read-out failed\n");
            return 1;
        }
    }
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted[sorted.size() / 2];
    const double limit = *std::max_element(limits.begin(), limits.end());
    std::printf("\ntwelve presets: min %.1f ms, median %.1f ms, max %.1f ms\n", sorted.front(),
                median, sorted.back());
    std::printf("line-rate limit for the bytes exchanged: %.1f ms (86.8 us a byte)\n", limit);
    // Each preset waits for its query's and its reply's bytes on the line and the
    // generator's latency, one preset after the other.
    const double floorMs = limit + 12.0 * latencyMs;
    std::printf("floor: line time + 12 x %d ms latency = %.1f ms\n", latencyMs, floorMs);
    std::printf("per preset (median): %.1f ms; target for all twelve: under 150 ms: %s\n",
                median / 12, median < 150 ? "met" : "NOT met");

    const int loadRuns = argc > 3 ? std::max(1, atoi(argv[3])) : 3;
    Instrument &instrument = *rig.instrument;
    const auto finish = [](auto task) {
        QEventLoop loop;
        std::optional<typename decltype(task)::value_type> out;
        auto done = task.then([&](auto value) {
            out = std::move(value);
            loop.quit();
        });
        if (!out)
            loop.exec();
        return *out;
    };
    std::printf("\nload of 12 changed plain presets (F, A, M, S each, read back with K, the "
                "settings put back)\n");
    std::printf("%4s %10s %8s\n", "run", "time ms", "written");
    std::vector<double> loads;
    for (int run = 1; run <= loadRuns; ++run) {
        QList<PresetSetFile::Row> rows;
        for (int n = 1; n <= 12; ++n)
            rows.append({n, 1000000 + n * 100000 + (run % 2) * 1000, 1000 + n, n % 4, 0, 0, 0});
        const Instrument::PresetLoadPlan plan = finish(instrument.planPresetLoad(rows));
        if (plan.problem || plan.changed.size() != 12) {
            std::fprintf(stderr, "the plan failed or found presets unchanged\n");
            return 1;
        }
        QElapsedTimer clock;
        clock.start();
        const Instrument::PresetLoadResult result = finish(instrument.loadPresets(plan, {}, {}));
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        loads.push_back(ms);
        std::printf("%4d %10.1f %8lld\n", run, ms, static_cast<long long>(result.written.size()));
        if (result.written.size() != 12) {
            std::fprintf(stderr, "not every preset was written and read back\n");
            return 1;
        }
    }
    std::sort(loads.begin(), loads.end());
    const double loadMedian = loads[loads.size() / 2];
    const double loadFloor = 12 * 3 * 100.0 + 12 * (median / 12);
    std::printf("\ntwelve presets loaded: min %.1f ms, median %.1f ms, max %.1f ms\n",
                loads.front(), loadMedian, loads.back());
    std::printf("floor: 12 x 3 x 100 ms + 12 read-backs of %.1f ms = %.1f ms\n", median / 12,
                loadFloor);
    std::printf("median / floor: %.2f; target within 1.2: %s\n", loadMedian / loadFloor,
                loadMedian <= 1.2 * loadFloor ? "met" : "NOT met");
    return 0;
}
