#pragma once

#include <QString>
#include <QtGlobal>

#include <array>

namespace sim {

// One preset record as the generator keeps it and reports it in its K reply:
// "<number> <carrier> <mod> <mode> <top> <step> <interval>".
struct Preset {
    int number = 0;
    qint64 carrier = 0;  // Hz
    qint64 mod = 0;      // Hz
    int mode = 0;        // 0..3 modulation kind, above 14 a sweep preset
    qint64 top = 0;      // Hz, sweep presets only
    qint64 step = 0;     // Hz, sweep presets only
    qint64 interval = 0; // s, sweep presets only

    bool operator==(const Preset &) const = default;
};

using PresetTable = std::array<Preset, 12>;

// The preset table a generator leaves the factory with: a few presets in use,
// one sweep preset (mode 16), the rest empty.
PresetTable defaultPresets();

// Faults the simulated generator can inject; all can be changed at run time.
struct Faults {
    bool silent = false;          // never identifies, never answers
    bool noise = false;           // random bytes (never '#') after every frame
    bool split = false;           // every frame written in two parts
    int splitGapMs = 15;          // pause between the two parts of a split frame
    int dropEvery = 0;            // drop every Nth reply frame (0: off)
    double dropProbability = 0.0; // drop a reply frame with this probability (0: off)
    quint32 seed = 1;             // seed for noise and probabilistic drops
    int lateMs = 0;               // extra latency before every reply

    bool operator==(const Faults &) const = default;
};

struct SimConfig {
    // Where the link to the pseudo-terminal slave is placed (an existing link
    // there is replaced). Empty: no link, use Simulator::ptyPath().
    QString linkPath;

    // Identity line without CR LF. Empty: "KVT" + modelCode + "v" + firmwareVersion.
    QString identity;
    QString modelCode = QStringLiteral("20");
    QString firmwareVersion = QStringLiteral("2.05");

    int bootMs = 300;       // from a client's open to the identity line (at least bootloaderMs)
    int bootloaderMs = 400; // after an open the bootloader listens this long; 0: no bootloader
    int settleMs = 50;      // nothing is sent earlier than this after an open
    int latencyMs = 2;      // from a complete command line to its reply
    bool pacing = true;     // send at the line rate instead of all at once
    int baudRate = 115200;  // line rate used for pacing (10 bits per byte)

    // Log file; "-" or empty with logToStdout: standard output; empty: no log.
    QString logPath;
    bool logToStdout = false;

    // Presets file (one record per line); loaded at start when it exists,
    // rewritten after every S command. Empty: presets live in memory only.
    QString presetsPath;

    // What S stores while a sweep runs: a plain preset of the present settings (the
    // carrier the sweep started from, the tone, the modulation kind, 0 0 0), or with
    // sweepPresetsStored a sweep preset (mode 16 with the sweep's top, step and time),
    // as the generator's own panel stores one.
    bool sweepPresetsStored = false;

    // The firmware in the flash does not start (a failed or interrupted update): after
    // each bootloader window the generator stays silent, as with Faults::silent, until
    // avrdude has written the flash; then the written firmware runs.
    bool brokenFirmware = false;

    // Flash memory image (raw 32 KiB); loaded at start when it exists, rewritten
    // when avrdude has written the flash. Empty: flash lives in memory only.
    QString flashPath;

    // Generator state at power-on.
    qint64 carrier = 7050000;
    qint64 modFreq = 1000;
    int modMode = 0;
    bool outputOn = true;
    qint64 deviceId = 1234;
    int prodDay = 7;
    int prodMonth = 3;
    int prodYear = 15; // two digits, as in the T reply
    int displayOperatorMode = 0;
    qint64 displayOperator = 0;
    qint64 coarseStep = 1000;

    Faults faults;
};

} // namespace sim
