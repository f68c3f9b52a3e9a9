// The Instrument: the generator on the line as every front end drives it.
//
// instrument/ is the library kvtinstrument, on link/ (kvtlink) and nothing else: no
// widget, no window folder. It holds the Instrument, which owns the one device record,
// the Link, the poll (Poller), discovery, loss and reconnection (Connection, which shows
// what it does through ConnectionWindows) and the settings file KVT.INI. The main window
// (panel/), the remote server (remote/) and a program without a window drive the
// generator through it; app/main.cpp builds it.
#pragma once

#include "instrument/presetsetfile.h"
#include "link/devicestate.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <qcoro/qcorotask.h>

struct Frame;
class QDate;
class Connection;
class ConnectionWindows;
class Link;
class Poller;
class Polling;
class SerialPort;
class TimeSource;
class WaitSet;

// What the panel's buttons and a remote client do to the generator, as procedures on
// the one device record. Only the reply parser and these procedures write the record;
// everyone else reads it through state(). Each procedure checks its own rules (the
// model's range, a model without Morse, no generator) and says what became of the
// request; the caller shows that. Every change that a procedure or a reply from the
// generator makes to the record is announced by changed(), so whatever shows the record
// redraws at once, whoever made the change.
class Instrument final : public QObject {
    Q_OBJECT
public:
    // What became of a request.
    enum class Outcome {
        Done,
        NoGenerator,  // no generator is connected (or the port is lent out)
        OutOfRange,   // the value is outside what the model accepts
        UnknownRange, // the model's carrier range is not known: no carrier is accepted
        NotThisModel, // the model has no such function (Morse: KVT 20 only)
        Busy,         // the generator is still doing the last one (Morse keying, a sweep)
        NoSweep,      // no sweep to pause
    };

    Instrument(SerialPort &port, TimeSource &time, QString settingsFolder,
               std::function<void()> quit, QObject *parent = nullptr);
    ~Instrument() override;

    const DeviceState &state() const { return m_state; }
    // The line itself: the firmware update borrows the port through it, the trace is
    // set on it, and the windows learn of replies and of a lost port from its signals.
    Link &link() { return *m_link; }
    Polling &polling();
    // Discovery and reconnection. Its windows are set by the front end that shows them
    // (none: nothing is shown and a failed search ends the program).
    Connection &connection() { return *m_connection; }
    void setConnectionWindows(ConnectionWindows *windows);

    // A generator has announced itself on the open port and the line has not been lost
    // or handed over (to the firmware uploader) since.
    bool connected() const;

    // KVT.INI: read before discovery (false when it was unusable), written by Power.
    bool readSettings();
    bool writeSettings(QString *error) const;
    QString settingsPath() const;

    // Whether the model takes `hz` as its carrier (0 < hz < 40 MHz, or 70 MHz for the wide
    // range): Done, OutOfRange or UnknownRange. The remote's sweep top is judged by it.
    Outcome checkCarrier(double hz) const;
    // Tunes the carrier to `hz` (plain decimal on the line) and marks the panel manual
    // (MAN): 0 < hz < the model's limit (40 MHz, or 70 MHz for the wide range).
    Outcome tuneCarrier(double hz);
    // Up and Down by `step` from the present carrier; not while sweeping. Down needs
    // only a positive result.
    Outcome tuneUp(int32_t step);
    Outcome tuneDown(int32_t step);
    // A dialog's answer, sent as typed when its value is in range: the panel becomes
    // manual, then 100 ms and the poll read what the generator made of it. A text that
    // is not plain digits counts as out of range.
    QCoro::Task<Outcome> tuneCarrierAsTyped(const QString &text);
    QCoro::Task<Outcome> setToneAsTyped(const QString &text);
    // The direct-entry row: sent as it stands, without a range test, then the poll
    // shows what the generator made of it.
    QCoro::Task<> enterCarrier(const QString &text);
    QCoro::Task<> enterTone(const QString &text);
    // The tone (modulation frequency) in hertz, below 65536; the panel becomes manual.
    Outcome setTone(double hz);
    // Modulation kind 0 none, 1 still, 2 beep, 3 trill; the panel becomes manual.
    void setModulationKind(int kind);
    // The AM mode button: none -> still -> beep -> trill -> none.
    void nextModulationKind();

    // The STOP button: output off -> on -> off; during a sweep the first press only
    // ends the sweep and the output counts as on.
    void pressStop();

    // What the remote's output and sweep commands send once the generator's answers have
    // told them what it does; the record is left as a STOP press that sends the same
    // would leave it. "0" during a sweep: the sweep ends, the output counts as on (2).
    void endSweepAsStop();
    // "1" (OutputOn 1) or "0" (OutputOn 0) while no sweep runs.
    void switchOutputAsStop(bool on);

    // Starts a sweep from the present carrier, the three values as typed.
    void startSweep(const QString &upper, const QString &step, const QString &interval);
    // Pauses (or resumes) the running sweep; refused without one.
    Outcome pauseSweep();

    // Saves the present settings into preset `n` (1-12); the panel shows P n.
    void savePreset(int n);
    // Recalls preset `n`, then 100 ms and the poll read its values back; the panel
    // shows P n at the end.
    QCoro::Task<> recallPreset(int n);
    // The K record of preset `n` as the generator reports it, asked up to 29 times 50
    // ms apart; nullopt when it never answered. A record that is empty or names another
    // preset (a late answer to an earlier query) does not answer it.
    QCoro::Task<std::optional<QString>> readPreset(int n);

    // The twelve presets as the generator holds them, each read by readPreset; nullopt
    // unless all twelve answered with a whole record (a file is written only then).
    QCoro::Task<std::optional<QList<PresetSetFile::Row>>> readPresetSet();

    // What loading a set would do: every row checked against the model first (a
    // problem names the row's line and column, and nothing may be sent), then the
    // present set read and compared with the rows.
    struct PresetLoadPlan {
        std::optional<PresetSetFile::Problem> problem; // nothing may be sent
        QList<PresetSetFile::Row> present; // the set the generator holds now (all twelve)
        QList<PresetSetFile::Row> changed; // the rows that differ: to be written
        int unchanged = 0;
        QList<int> notInUse; // carrier and tone both <= 0: left as they are
    };
    // A plan whose problem has no line (0) failed for the generator's sake: none is
    // connected, its range is not known, or its presets could not all be read.
    QCoro::Task<PresetLoadPlan> planPresetLoad(QList<PresetSetFile::Row> rows);
    // The rows' own check, as the plan makes it first: each number 1-12 once, and every
    // row in use within the model's range (PresetSetFile::check).
    std::optional<PresetSetFile::Problem>
    checkPresetRows(const QList<PresetSetFile::Row> &rows) const;

    // Writes the plan's changed presets, each read back and compared: refused while a
    // sweep runs or Morse is keyed; the line is held for the whole load; "0" first when
    // the output is on; per preset F, A (when a tone is set), M or W, S, each 100 ms
    // apart ("0" after a sweep preset), then its K record read back. At the end the
    // carrier, tone, mode, output and the panel's preset mark are put back as they
    // were. `progress` is told after each preset; `cancelled` is asked between presets
    // (a cancelled load stops after the current preset and puts everything back).
    struct PresetLoadResult {
        enum class End { Finished, Cancelled, LineLost, Refused };
        End end = End::Finished;
        QList<int> written;        // written and read back as written
        QList<int> mismatched;     // did not read back as written
        QList<int> sweepNotStored; // a sweep preset read back as a plain one
        int unchanged = 0;
        QList<int> notInUse;
        // Why it was refused: Busy (a sweep, Morse keying, the radiotelegraph frame or
        // another exchange holding the line), NoGenerator, or OutOfRange (a plan with a
        // problem). Nothing has been sent then.
        Outcome refusal = Outcome::Done;
    };
    QCoro::Task<PresetLoadResult>
    loadPresets(PresetLoadPlan plan, std::function<void(int done, int total, int preset)> progress,
                std::function<bool()> cancelled);

    // One of the poll's questions asked alone, and the frame that answers it: "G" (F, or
    // W while sweeping), "I" (A), "J" (M), "H" (S). nullopt when none came within `ms`.
    // The parser has stored it in the device record by then.
    enum class Query { Carrier, Tone, ModulationKind, Output };
    QCoro::Task<std::optional<Frame>> ask(Query query, int ms);

    // The line reserved for one exchange that must not be interleaved (the Setup
    // window's questions and its write-back): commands of the remote wait meanwhile.
    // Held while a LineHold lives.
    class LineHold {
    public:
        explicit LineHold(Instrument &instrument);
        ~LineHold();
        Q_DISABLE_COPY_MOVE(LineHold)

    private:
        QPointer<Instrument> m_instrument;
    };
    // Returns once no LineHold lives (at once when none does). Throws WaitCancelled when
    // the program is going away.
    QCoro::Task<> lineFree();

    // The identity number and the production date asked anew, each answer waited for
    // up to 100 ms; a generator that does not answer leaves the values known before.
    QCoro::Task<> readIdentity();
    // The factory's stamp: `date` becomes the generator's production date.
    void stampProductionDate(const QDate &date);
    // The display operator and the coarse step asked anew (1 s each), the line held
    // meanwhile so that no remote command's reply ends them. Each is true when its
    // answer came.
    struct SetupAnswers {
        bool displayOperator = false;
        bool coarseStep = false;
    };
    QCoro::Task<SetupAnswers> readSetup();
    // Sets the display operator, then 1 s later the coarse step, the line held from
    // "Z" to "X". The coarse step goes only to the generator that took the display
    // operator: a line lost meanwhile (even one open again) would lose it or give it to
    // a generator that restarted. Tells what went out.
    struct SetupSent {
        bool displayOperator = false;
        bool coarseStep = false;
    };
    QCoro::Task<SetupSent> sendSetup(int mode, int32_t displayOperator, int32_t coarseStep);

    // The Morse speed (1-300) that KVT.INI keeps and the remote's MORS keys with.
    static bool acceptsMorseSpeed(int speed);
    Outcome setMorseSpeed(int speed);
    // Keys `text` once at the Morse speed; busy until the generator reports the end
    // (its Q reply). KVT 20 only. While the generator keys, a new text is refused
    // (Busy) or, from the radiotelegraph frame's Send, given to it anew.
    enum class WhileKeying { Refuse, SendAgain };
    Outcome keyMorse(const QString &text, WhileKeying whileKeying = WhileKeying::Refuse);
    bool keying() const;
    // The keying is over without the generator's word (the line went away).
    void forgetKeying();
    // The radiotelegraph frame holds the generator's output off while it is open ("0"
    // on opening, "1" on closing); the record's output state is left as it was.
    void openTelegraphFrame();
    void closeTelegraphFrame();
    bool telegraphFrameOpen() const { return m_telegraphFrameOpen; }

Q_SIGNALS:
    // The device record changed: by a reply from the generator or by a procedure.
    void changed();
    // A procedure started a sweep (true) or ended one (false); the generator's own
    // replies say so through the parser's effects.
    void sweepStateChanged(bool sweeping);
    // A procedure of the poll or of discovery failed for a reason of the program's own.
    void failed(const QString &what);

private:
    friend struct InstrumentTestAccess; // tests set up the record as a generator left it

    // A dialog's answer: the panel becomes manual, the command goes out, then 100 ms and
    // the poll read what the generator made of it.
    QCoro::Task<> sendManualAndReadBack(QString command); // by value: a coroutine keeps it
    // The carrier goes out in plain decimal and the panel becomes manual (MAN).
    Outcome sendCarrier(double hz);
    void onPortLost();

    DeviceState m_state;
    QString m_settingsFolder;
    std::unique_ptr<Link> m_link;
    std::unique_ptr<Poller> m_poller;
    std::unique_ptr<Connection> m_connection;
    bool m_telegraphFrameOpen = false;
    int m_lineHolds = 0;
    std::unique_ptr<WaitSet> m_lineWaits; // the waits for the line's release
    // The preset load's pauses between commands: only their time ends them, not the
    // generator's replies (a poll's answer must not shorten the generator's 100 ms).
    std::unique_ptr<WaitSet> m_pauses;
};
