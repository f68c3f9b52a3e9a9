#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <qcoro/qcorotask.h>
#include <utility>
#include <vector>

class FirmwareUpdateDialog;
class StartedProcess;
class WaitSet;
struct PanelContext;

// The firmware update behind the firmware-update window: the checks before anything
// changes, the read-back of the present firmware into the backup folder (under a
// temporary name until it has ended well, then the backups rotate), the write of the
// chosen image or backup with avrdude only after a read-back that ended well, the
// verdict (the generator must announce itself with the image's version after the
// write) and the port taken back. Each step lasts as long as its avrdude run: the
// progress texts are placed by the time the bytes to move predict at the line's baud,
// and a run is ended only when it outlives that time by OvertimeMs. While it runs, the
// control link is handed over and the poll is off, so avrdude has the port to itself.
//
// Recovery is the same update for a generator that no longer announces itself (only
// its bootloader runs after an open): no identity to compare and no firmware worth a
// backup, so the model test becomes a confirmation and the read-back is skipped. A
// generator that stays silent after a write is shown as gone and the window turns into
// the recovery of its port at once.
class FirmwareUpdate final : public QObject {
    Q_OBJECT
public:
    // Nothing beyond the context: the update's window is its own (dialog()), and a line
    // that cannot be opened again after it is reported through Link::portLost.
    struct Controls {};

    FirmwareUpdate(const PanelContext &context, Controls controls, QObject *parent = nullptr);
    ~FirmwareUpdate() override;

    // The window, created (hidden) on first use.
    FirmwareUpdateDialog &dialog();
    // True while the update works: from its answered questions (the checks, the runs of
    // avrdude, the port taken back) to its result. The main window refuses to close
    // meanwhile, and a request to end the program waits for updateEnded(). The window
    // itself stays locked from the click on "Write to device" to the result closed.
    bool updateRunning() const { return m_working; }

    // Shows the window modally to recover the generator on port `portNumber`; returns
    // whether a write ended well, after the window has closed. The control link stays
    // closed: the caller starts discovery again.
    bool recover(int portNumber);

    // The progress texts in the order they are shown: "Resetting connection..." from
    // the hand-over of the port to the first run of avrdude, three across the read-back, "Preparing
    // upload package..." between the runs, six across the write and "Uploading..100%" at its end.
    static const QStringList &progressTexts();
    // Where a text stands in its run: the percentage of the run's predicted time after
    // which it is shown (read-back, then write).
    static const std::vector<std::pair<int, int>> &readBackShares();
    static const std::vector<std::pair<int, int>> &writeShares();
    // How long a run of avrdude is waited for past its predicted time before it is
    // killed.
    static constexpr int OvertimeMs = 120000;
    // Between the hand-over of the port and the first run of avrdude, with "Resetting
    // connection..." shown: the port stays closed this long, so that avrdude's open
    // resets the generator into its bootloader.
    static constexpr int ResetPauseMs = 2000;
    // How long the check's quick run of avrdude may take.
    static constexpr int ProbeMs = 5000;
    // After the port is opened again the bootloader listens this long before the
    // firmware starts; then the generator is given discovery's 5 to 6 s to announce
    // itself.
    static constexpr int BootloaderWindowMs = 2000;
    static constexpr int IdentityAfterWriteMs = BootloaderWindowMs + 6000;
    // The text shown while the generator is awaited after the write.
    static QString waitingText();

Q_SIGNALS:
    // The work of an update or recovery has ended (its result is known, its message not
    // yet shown), or a click on "Write to device" ended without any; once per click.
    void updateEnded();

private:
    struct Plan;
    struct Run;

    void writeRequested();
    void windowHidden();
    QCoro::Task<> run();
    // The checks of an update; the message that refuses it, or nullopt.
    QCoro::Task<std::optional<QString>> check(Plan &plan);
    // Starts avrdude with `arguments` and waits for its end, showing the texts of
    // `shares` as the predicted time passes; killed past predicted + OvertimeMs.
    QCoro::Task<Run> runAvrdude(const Plan &plan, const QStringList &arguments, qint64 predictedMs,
                                const std::vector<std::pair<int, int>> &shares);
    QCoro::Task<bool> waitForEnd(StartedProcess &process, int ms);
    // Waits `ms` on the update's clock, whatever wakes the update's waits meanwhile.
    QCoro::Task<> pause(int ms);
    // Waits up to `ms` for the generator's identity line on the port taken back.
    QCoro::Task<bool> awaitIdentity(int ms);
    // Wakes the update's waits on the next turn of the event loop (never inside the
    // signal that reports the event).
    void wakeSoon();
    // The result of the write: the message and what becomes of the port and window.
    QCoro::Task<QString> verdict(Plan &plan, const Run &write);
    // Takes the port back after an update; the failure to tell, or empty.
    QString takeBackPort(int portNumber);
    static QString portError(int error);
    static QString runFailure(const Run &run);

    const PanelContext &m_context;
    Controls m_controls;
    std::unique_ptr<WaitSet> m_waits;
    quint64 m_wakeTimer = 0;
    QPointer<FirmwareUpdateDialog> m_dialog;
    std::optional<int> m_recoveryPort; // set while the window recovers that port
    bool m_recoveryVerified = false;   // that recovery follows a write the generator
                                       // did not answer after: it is judged the same way
    bool m_recovered = false;          // the last recovery's write ended well
    bool m_busy = false;               // from the click on "Write to device" to the end
    bool m_working = false;            // from the answered questions to the result
};
