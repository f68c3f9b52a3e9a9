// kvt-sim: runs the simulated generator until SIGINT or SIGTERM.

#include "sim/simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

extern "C" void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

bool installSignalHandlers() {
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 &&
           ::sigaction(SIGTERM, &action, nullptr) == 0;
}

int intValue(const QCommandLineParser &parser, const QString &name, int fallback, bool *ok) {
    if (!parser.isSet(name))
        return fallback;
    bool good = false;
    const int value = parser.value(name).toInt(&good);
    if (!good || value < 0) {
        std::fprintf(stderr, "kvt-sim: --%s needs a number of 0 or more\n", qPrintable(name));
        *ok = false;
    }
    return value;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kvt-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulated KVT generator on a pseudo-terminal."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("link"), QStringLiteral("Place the port link at <path> (required)."),
         QStringLiteral("path")},
        {QStringLiteral("identity"),
         QStringLiteral("Identity line without CR LF (default KVT20v2.05)."),
         QStringLiteral("text")},
        {QStringLiteral("boot-ms"), QStringLiteral("Time from an open to the identity line."),
         QStringLiteral("ms")},
        {QStringLiteral("bootloader-ms"),
         QStringLiteral("How long after an open the bootloader listens (0: none)."),
         QStringLiteral("ms")},
        {QStringLiteral("flash"), QStringLiteral("Flash memory image file to load and save."),
         QStringLiteral("file")},
        {QStringLiteral("broken-firmware"),
         QStringLiteral("The firmware stays silent after the bootloader window until avrdude "
                        "writes the flash.")},
        {QStringLiteral("latency-ms"), QStringLiteral("Time from a command to its reply."),
         QStringLiteral("ms")},
        {QStringLiteral("no-pacing"), QStringLiteral("Send replies at once, not at 115200 bit/s.")},
        {QStringLiteral("log"), QStringLiteral("Log file (default: standard output)."),
         QStringLiteral("file")},
        {QStringLiteral("presets"), QStringLiteral("Presets file to load and save."),
         QStringLiteral("file")},
        {QStringLiteral("save-during-sweep"),
         QStringLiteral("What S stores while a sweep runs: plain (the present settings, the "
                        "default) or sweep (a sweep preset)."),
         QStringLiteral("kind")},
        {QStringLiteral("device-id"), QStringLiteral("Device identity number (B reply)."),
         QStringLiteral("n")},
        {QStringLiteral("fault"),
         QStringLiteral("Inject a fault: silent, noise, split, drop or late (repeatable)."),
         QStringLiteral("kind")},
        {QStringLiteral("drop-every"),
         QStringLiteral("With --fault drop: drop every Nth reply (default 3)."),
         QStringLiteral("n")},
        {QStringLiteral("late-ms"),
         QStringLiteral("With --fault late: extra latency (default 500)."), QStringLiteral("ms")},
    });
    // A command line that cannot be read is a usage error (exit 2), like a missing
    // --link or a bad value below; QCommandLineParser::process would exit 1.
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "kvt-sim: %s kvt-sim --help lists the options.\n",
                     qUtf8Printable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
        parser.process(app); // prints the help and ends with 0

    if (!parser.isSet(QStringLiteral("link"))) {
        std::fprintf(stderr, "kvt-sim: --link PATH is required\n");
        return 2;
    }

    bool ok = true;
    sim::SimConfig config;
    config.linkPath = parser.value(QStringLiteral("link"));
    if (parser.isSet(QStringLiteral("identity")))
        config.identity = parser.value(QStringLiteral("identity"));
    config.bootMs = intValue(parser, QStringLiteral("boot-ms"), config.bootMs, &ok);
    config.bootloaderMs =
        intValue(parser, QStringLiteral("bootloader-ms"), config.bootloaderMs, &ok);
    config.flashPath = parser.value(QStringLiteral("flash"));
    config.brokenFirmware = parser.isSet(QStringLiteral("broken-firmware"));
    config.latencyMs = intValue(parser, QStringLiteral("latency-ms"), config.latencyMs, &ok);
    config.pacing = !parser.isSet(QStringLiteral("no-pacing"));
    config.logPath = parser.isSet(QStringLiteral("log")) ? parser.value(QStringLiteral("log"))
                                                         : QStringLiteral("-");
    config.presetsPath = parser.value(QStringLiteral("presets"));
    const QString saveDuringSweep = parser.value(QStringLiteral("save-during-sweep")).isEmpty()
                                        ? QStringLiteral("plain")
                                        : parser.value(QStringLiteral("save-during-sweep"));
    if (saveDuringSweep == QLatin1String("sweep")) {
        config.sweepPresetsStored = true;
    } else if (saveDuringSweep != QLatin1String("plain")) {
        std::fprintf(stderr, "kvt-sim: --save-during-sweep is plain or sweep\n");
        ok = false;
    }
    config.deviceId = intValue(parser, QStringLiteral("device-id"), 1234, &ok);
    const int dropEvery = intValue(parser, QStringLiteral("drop-every"), 3, &ok);
    const int lateMs = intValue(parser, QStringLiteral("late-ms"), 500, &ok);
    for (const QString &fault : parser.values(QStringLiteral("fault"))) {
        if (fault == QLatin1String("silent"))
            config.faults.silent = true;
        else if (fault == QLatin1String("noise"))
            config.faults.noise = true;
        else if (fault == QLatin1String("split"))
            config.faults.split = true;
        else if (fault == QLatin1String("drop"))
            config.faults.dropEvery = dropEvery;
        else if (fault == QLatin1String("late"))
            config.faults.lateMs = lateMs;
        else {
            std::fprintf(stderr, "kvt-sim: unknown fault '%s'\n", qPrintable(fault));
            ok = false;
        }
    }
    if (!ok)
        return 2;

    if (!installSignalHandlers()) {
        std::perror("kvt-sim: signal handlers");
        return 1;
    }
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&app] {
        char buffer[16];
        while (::read(signalPipe[0], buffer, sizeof buffer) > 0) {
        }
        app.quit();
    });

    sim::Simulator simulator(config);
    QString error;
    if (!simulator.start(&error)) {
        std::fprintf(stderr, "kvt-sim: %s\n", qPrintable(error));
        return 1;
    }
    // Announce on stderr when the log goes to stdout, so stdout stays pure log.
    std::FILE *announce = config.logPath == QLatin1String("-") ? stderr : stdout;
    std::fprintf(announce, "kvt-sim: %s linked as %s\n", qPrintable(simulator.ptyPath()),
                 qPrintable(simulator.linkPath()));
    std::fflush(announce);

    const int rc = app.exec();
    return rc;
}
