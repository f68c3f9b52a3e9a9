#pragma once

// The generator simulator: a stand-in for a KVT generator on a pseudo-terminal.
// It lives in sim/ as library `kvtsim` (Qt Core only, independent of the program's
// own code so it can judge that code) and is used by the `kvt-sim` executable,
// by ./demo and in-process by integration and end-to-end tests.

#include "sim/simconfig.h"
#include "sim/stkbootloader.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QString>

#include <cstdio>
#include <deque>
#include <memory>

class QSocketNotifier;
class QTimer;
class QFile;

namespace sim {

class Simulator : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY(Simulator)

public:
    struct ReceivedLine {
        qint64 ms = 0; // milliseconds since the simulator was created
        QString text;
    };

    explicit Simulator(const SimConfig &config, QObject *parent = nullptr);
    ~Simulator() override;

    // Opens the pseudo-terminal and places the link. Returns false (and the reason
    // in *error) when the terminal cannot be opened or the link cannot be placed.
    bool start(QString *error = nullptr);
    bool isStarted() const { return m_master >= 0; }

    QString ptyPath() const { return m_ptyPath; }   // /dev/pts/N
    QString linkPath() const { return m_linkPath; } // as configured
    bool clientConnected() const { return m_session; }
    qint64 elapsedMs() const { return m_clock.elapsed(); }

    // Generator state.
    qint64 carrier() const { return m_carrier; }
    void setCarrier(qint64 hz) { m_carrier = hz; }
    qint64 modFreq() const { return m_modFreq; }
    void setModFreq(qint64 hz) { m_modFreq = hz; }
    int modMode() const { return m_modMode; }
    void setModMode(int mode) { m_modMode = mode; }
    bool outputOn() const { return m_outputOn; }
    void setOutputOn(bool on) { m_outputOn = on; }
    bool sweeping() const { return m_sweep.active; }
    bool sweepPaused() const { return m_sweep.active && m_sweep.paused; }
    qint64 sweepPosition() const;
    // Starts a sweep as the W command does; false when the parameters are unusable.
    bool startSweep(qint64 top, qint64 step, qint64 seconds);
    void stopSweep(); // ends a sweep without any reply
    PresetTable presets() const { return m_presets; }
    Preset preset(int number) const;      // 1..12; an empty record otherwise
    void setPreset(const Preset &preset); // by preset.number (1..12)
    void setPresets(const PresetTable &presets);
    bool telegraphBusy() const { return m_keyingEnd >= 0; }
    QString telegraphText() const { return m_keyingText; }
    QString identity() const { return m_identity; }
    void setIdentity(const QString &identity) { m_identity = identity; }
    qint64 deviceId() const { return m_deviceId; }
    void setDeviceId(qint64 id) { m_deviceId = id; }

    Faults faults() const { return m_faults; }
    // The firmware stays silent after the bootloader window until avrdude has written
    // the flash (SimConfig::brokenFirmware).
    bool firmwareBroken() const { return m_firmwareBroken; }
    void setFaults(const Faults &faults);

    // Timing, changeable at run time.
    void setLatencyMs(int ms) { m_config.latencyMs = ms; }
    void setPacing(bool on) { m_config.pacing = on; }
    void setBootMs(int ms) { m_config.bootMs = ms; }
    void setBootloaderMs(int ms) { m_config.bootloaderMs = ms; }
    // What S stores during a sweep (SimConfig::sweepPresetsStored).
    void setSweepPresetsStored(bool on) { m_config.sweepPresetsStored = on; }

    // Flash memory as the bootloader reads and writes it (32 KiB). setFlash changes
    // the memory only; the announced version follows an image written by avrdude.
    QByteArray flash() const { return m_bootloader.flash(); }
    void setFlash(const QByteArray &image) { m_bootloader.setFlash(image); }
    bool inBootloader() const { return m_bootPhase == BootPhase::Programming; }

    // Every command line received since start (or since clearReceivedLines).
    QList<ReceivedLine> receivedLines() const { return m_received; }
    void clearReceivedLines() { m_received.clear(); }

    // Handles one command line as if it had arrived over the line (used by the
    // line reader; also lets tests drive the generator without a client).
    void handleLine(const QByteArray &line);

Q_SIGNALS:
    void lineReceived(const QString &line);
    void frameSent(const QByteArray &frame); // a frame left the master, without CR LF
    void clientOpened();
    void clientClosed();

private:
    struct Chunk {
        QByteArray bytes;
        qint64 notBeforeNs = 0;
        QByteArray logText;     // the frame, on its first part only (for log and frameSent)
        qsizetype offset = 0;   // bytes already written
        qint64 startNs = -1;    // when its first byte went out
        qint64 gapBeforeNs = 0; // pause after the previous chunk (second half of a split)
        bool paced = true;      // bootloader replies go out at once
    };
    struct Sweep {
        bool active = false;
        bool paused = false;
        qint64 start = 0; // carrier at the start; also where it returns
        qint64 top = 0;
        qint64 step = 0;
        qint64 steps = 0;     // number of steps from start to top
        qint64 seconds = 0;   // the time for the span, as the W command gave it
        double stepMs = 0;    // time per step
        qint64 activeMs = 0;  // running time accumulated before the last resume
        qint64 resumedAt = 0; // clock ms of the last start or resume
        qint64 reportedStep = -1;
        qint64 lastReportMs = -1000000;
    };

    void onInotify();
    void onMasterReadable();
    void beginSession();
    void endSession();
    void checkHangup(int retriesLeft);
    bool masterHungUp() const;
    void discardUnreadOutput();
    void sendIdentity();
    void closeBootloaderWindow();
    void leaveBootloader();
    void takeWrittenFirmware();
    void sendRaw(const QByteArray &bytes);
    void bootloaderByte(char byte);
    void reply(const QByteArray &frame);
    void enqueueFrame(const QByteArray &frame, qint64 notBeforeNs);
    void pumpOutput();
    void scheduleOutput(qint64 atNs);
    void sweepTick();
    qint64 sweepElapsedMs() const;
    void finishSweep();
    void keyingDone();
    void log(const char *kind, const QByteArray &text);
    void loadPresets();
    void savePresets() const;
    void placeLink(QString *error, bool *ok);
    qint64 nowNs() const { return m_clock.nsecsElapsed(); }

    SimConfig m_config;
    QElapsedTimer m_clock;

    int m_master = -1;
    int m_inotify = -1;
    QString m_ptyPath;
    QString m_linkPath;
    bool m_linkPlaced = false;
    QSocketNotifier *m_masterNotifier = nullptr;
    QSocketNotifier *m_inotifyNotifier = nullptr;

    bool m_session = false;
    bool m_closePending = false; // a close was seen but no hang-up yet
    qint64 m_sessionOpenNs = 0;
    quint64 m_sessionId = 0;
    QByteArray m_inBuffer;
    bool m_discarding = false; // inside an oversize line, until its CR or LF

    std::deque<Chunk> m_out;
    qint64 m_outBytes = 0;
    qint64 m_lineFreeNs = 0; // when the paced line has sent its last byte
    QTimer *m_outTimer = nullptr;
    QTimer *m_bootTimer = nullptr;

    // The bootloader: listening for a short window after each open, programming
    // once a command has arrived in it, off once the generator has booted.
    enum class BootPhase { Listening, Programming, Off };
    BootPhase m_bootPhase = BootPhase::Off;
    StkBootloader m_bootloader;
    QTimer *m_windowTimer = nullptr;

    // Generator state.
    QString m_identity;
    qint64 m_carrier = 0;
    qint64 m_modFreq = 0;
    int m_modMode = 0;
    bool m_outputOn = true;
    qint64 m_deviceId = 0;
    int m_prodDay = 0;
    int m_prodMonth = 0;
    int m_prodYear = 0;
    int m_operatorMode = 0;
    qint64 m_operator = 0;
    qint64 m_coarseStep = 0;
    PresetTable m_presets;
    Sweep m_sweep;
    QTimer *m_sweepTimer = nullptr;
    qint64 m_keyingEnd = -1; // clock ms when the keying ends; -1 when idle
    QString m_keyingText;
    QTimer *m_keyingTimer = nullptr;

    Faults m_faults;
    bool m_firmwareBroken = false;
    bool silent() const { return m_faults.silent || m_firmwareBroken; }
    QRandomGenerator m_random;
    quint64 m_replyCount = 0;

    QList<ReceivedLine> m_received;
    std::unique_ptr<QFile> m_logFile;
};

} // namespace sim
