#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <qcoro/qcorotask.h>

class FirmwareUpdateDialog;
class StartedProcess;
class WaitSet;
struct PanelContext;

// The firmware update behind the firmware-update window: the checks before anything
// changes, the read-back of the present firmware into the backup folder (under a
// temporary name until it has ended well, then the backups rotate), the write of the
// chosen image or backup with avrdude, the 52 s timetable of progress texts, the
// verdict and the re-opened port. While it runs, the control link is closed and the
// poll is off, so avrdude has the port to itself.
//
// Recovery is the same update for a generator that no longer announces itself (only
// its bootloader runs after an open): no identity to compare and no firmware worth a
// backup, so the model test becomes a confirmation and the read-back is skipped.
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
    bool updateRunning() const;

    // Shows the window modally to recover the generator on port `portNumber`; returns
    // whether a write ended well, after the window has closed. The control link stays
    // closed: the caller starts discovery again.
    bool recover(int portNumber);

    // The progress texts, in the order the timetable shows them, and its waits (ms):
    // each text is shown, then its wait runs.
    static const QStringList &progressTexts();
    static const QList<int> &progressWaits();
    // How long a write still running at the result is waited for before it is killed.
    static constexpr int WriteOvertimeMs = 120000;
    // How long the check's quick run of avrdude may take.
    static constexpr int ProbeMs = 5000;

Q_SIGNALS:
    // The update started by "Write to device" has ended, whatever its outcome.
    void updateEnded();

private:
    struct Plan;

    void writeRequested();
    QCoro::Task<> run();
    // The checks of an update; the message that refuses it, or nullopt.
    QCoro::Task<std::optional<QString>> check(Plan &plan);
    QCoro::Task<> runTimetable(Plan &plan);
    QCoro::Task<bool> waitForEnd(StartedProcess &process, int ms);
    // Opens the control link again after an update; the failure to tell, or empty.
    QString reopenPort(int portNumber);
    static QString portError(int error);

    const PanelContext &m_context;
    Controls m_controls;
    std::unique_ptr<WaitSet> m_waits;
    QPointer<FirmwareUpdateDialog> m_dialog;
    std::optional<int> m_recoveryPort; // set while the window recovers that port
    bool m_recovered = false;          // the last recovery's write ended well
    bool m_busy = false;               // from the click on "Write to device" to the end
};
