#pragma once

#include "link/link.h"

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <qcoro/qcorotask.h>
#include <utility>
#include <vector>

class Polling;
class StartedProcess;
class WaitSet;
struct DeviceState;
struct ProgramServices;

// The firmware update, without a window: the checks before anything changes, the
// read-back of the present firmware into the backup folder (under a temporary name until
// it has ended well, then the backups rotate), the write of the chosen image or backup
// with avrdude only after a read-back that ended well, the verdict (the generator must
// announce itself with the image's version after the write) and the port given back.
// Each step lasts as long as its avrdude run: progress() is reported at the shares of
// the time the bytes to move predict at the line's baud, and a run is ended only when it
// outlives that time by OvertimeMs. While it runs, the control link's port is lent to
// avrdude (Link::lendPort) and the poll is off, so avrdude has the port to itself.
//
// Recovery is the same update for a generator that no longer announces itself (only
// its bootloader runs after an open): no identity to compare and no firmware worth a
// backup, so the model test becomes a confirmation and the read-back is skipped. A
// generator that stays silent after a write ends the update as GeneratorSilent, and the
// update keeps its port for the recovery that follows.
//
// The questions go to an Asker; the window (FirmwareUpdateDialog) answers them, shows
// the progress and the result.
class FirmwareUpdate final : public QObject {
    Q_OBJECT
public:
    // What the update works with; all of it outlives the update.
    struct Context {
        const DeviceState &state;
        Link &link;
        Polling &polling;
        const ProgramServices &services;
    };

    // The stages of an update, in order; progress() names the one under way.
    enum class Stage {
        Checking,            // the checks before anything changes
        ResettingConnection, // the port lent, closed for the reset pause
        ReadingBack,         // avrdude reads the present firmware into the backup
        Preparing,           // between the read-back and the write
        Writing,             // avrdude writes the image
        AwaitingGenerator,   // the port taken back, the generator's identity awaited
    };
    Q_ENUM(Stage)

    // How an update ended.
    enum class Outcome {
        Declined,        // a question was answered No: nothing happened
        WrongModel,      // the image is made for another model: nothing happened
        Refused,         // a check or the port refused it before anything changed
        Succeeded,       // written, and (when judged so) announced with its version
        Failed,          // no backup, a failed write, another version, the port lost
        GeneratorSilent, // the generator does not answer after the write: the update
                         // keeps its port for the recovery that follows at once
    };
    Q_ENUM(Outcome)

    // The outcome with the message that tells it (none for Declined).
    struct Result {
        Outcome outcome = Outcome::Declined;
        QString title;
        QString text;
        int portNumber = 0; // the generator's port
    };

    // The questions an update asks before it begins, answered by whoever drives it (the
    // window asks the user). Asked only before the update first waits.
    class Asker {
    public:
        virtual ~Asker() = default;
        // A Yes/No question; true for Yes.
        virtual bool confirm(const QString &title, const QString &question) = 0;
    };

    // One update: the file to write and, for a recovery, the port of the generator
    // that does not announce itself.
    struct Request {
        QString image;
        std::optional<int> recoveryPort;
    };

    explicit FirmwareUpdate(Context context, QObject *parent = nullptr);
    ~FirmwareUpdate() override;

    // Runs one update to its end: progress() along the way, then updateEnded() and
    // finished(). A second run while one runs ends at once without either.
    QCoro::Task<> run(Request request, Asker &asker);

    // True while the update works: from its answered questions (the checks, the runs of
    // avrdude, the port taken back) to its result. The main window refuses to close
    // meanwhile, and a request to end the program waits for updateEnded().
    bool updateRunning() const { return m_working; }
    // True from the start of a run to its finished().
    bool busy() const { return m_busy; }

    // After GeneratorSilent the update keeps the port for the recovery of the generator
    // on it: a recovery run of that port judges its write by the generator's identity
    // like an update. Ends that: the port is given back to the control link (which
    // connects again as soon as the generator answers there), or left as it is when the
    // program is ending (giveBack false).
    bool holdsPort() const { return m_heldPort.active(); }
    void endRecovery(bool giveBack);

    // The progress text of a stage, `share` percent into it (the window shows it).
    static QString progressText(Stage stage, int share);
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
    // The note of a recovery: of a generator that does not answer at all, or of one
    // that did not answer after a write (afterWrite).
    static QString recoveryNote(int portNumber, bool afterWrite);

Q_SIGNALS:
    // The update has reached `stage`, `share` percent into it.
    void progress(FirmwareUpdate::Stage stage, int share);
    // The work of an update has ended (its result is known, its message not yet
    // shown), or a run ended without any; once per run, before finished().
    void updateEnded();
    void finished(const FirmwareUpdate::Result &result);

private:
    struct Plan;
    struct Run;

    QCoro::Task<Result> update(const Request &request, Asker &asker);
    // The checks of an update; the message that refuses it, or nullopt.
    QCoro::Task<std::optional<QString>> check(Plan &plan);
    // Starts avrdude with `arguments` and waits for its end, reporting the progress of
    // `stage` at `shares` as the predicted time passes; killed past predicted +
    // OvertimeMs.
    QCoro::Task<Run> runAvrdude(const Plan &plan, const QStringList &arguments, qint64 predictedMs,
                                Stage stage, const std::vector<std::pair<int, int>> &shares);
    QCoro::Task<bool> waitForEnd(StartedProcess &process, int ms);
    // Waits `ms` on the update's clock, whatever wakes the update's waits meanwhile.
    QCoro::Task<> pause(int ms);
    // Waits up to `ms` for the generator's identity line on the port taken back.
    QCoro::Task<bool> awaitIdentity(int ms);
    // Wakes the update's waits on the next turn of the event loop (never inside the
    // signal that reports the event).
    void wakeSoon();
    // The result of the write: the message and what becomes of the port.
    QCoro::Task<QString> verdict(Plan &plan, PortLoan &loan, const Run &write);
    // Gives the port back after an update; the failure to tell, or empty.
    QString giveBack(PortLoan &loan);
    static QString portError(int error);
    static QString runFailure(const Run &run);

    Context m_context;
    std::unique_ptr<WaitSet> m_waits;
    quint64 m_wakeTimer = 0;
    PortLoan m_heldPort;    // kept for the recovery after a write left the generator silent
    bool m_busy = false;    // from the start of a run to its end
    bool m_working = false; // from the answered questions to the result
};
