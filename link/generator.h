#pragma once

#include "link/waits.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <qcoro/qcorotask.h>

struct Frame;
class Link;
class Polling;
struct DeviceState;

// The generator as the program drives it, without a window: what the panel's buttons
// do to the generator (tune, modulation kind, output, sweep, presets, Morse) as plain
// procedures on the one device record and the link. The panel's handlers ask the user
// and then call these; a remote client calls the same ones. Every change that one of
// them or a reply from the generator makes to the record is announced by changed(), so
// whatever shows the record redraws at once, whoever made the change.
class Generator final : public QObject {
    Q_OBJECT
public:
    Generator(DeviceState &state, Link &link, Polling &polling, QObject *parent = nullptr);

    DeviceState &state() { return m_state; }
    const DeviceState &state() const { return m_state; }
    Link &link() { return m_link; }
    Polling &polling() { return m_polling; }

    // A generator has announced itself on the open port and the line has not been lost
    // or handed over (to the firmware uploader) since.
    bool connected() const;

    // Upper limit (exclusive) of the carrier for the model's range (wideRange 0: 40 MHz,
    // 1: 70 MHz); none for a model whose range the program does not know.
    static std::optional<double> carrierLimit(int16_t wideRange);
    static constexpr double ModulationLimit = 65536.0; // exclusive, whatever the model

    // Tunes the carrier to `hz` (plain decimal on the line) and marks the panel manual
    // (MAN). The caller has checked the range. Up, Down and remote tuning.
    void tuneCarrier(double hz);
    // The carrier dialog's answer, sent as typed: the panel becomes manual, then 100 ms
    // and the poll read what the generator made of it.
    QCoro::Task<> tuneCarrierAsTyped(const QString &text);
    // The tone (modulation frequency) in hertz, plain decimal; the panel becomes manual.
    void setTone(int hz);
    // The modulation dialog's answer, sent as typed, then 100 ms and the poll.
    QCoro::Task<> setToneAsTyped(const QString &text);
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
    // Whether the radiotelegraph frame is open: its "0" and "1" are the frame's own,
    // and the remote leaves the output alone meanwhile.
    void setTelegraphFrameOpen(bool open) { m_telegraphFrameOpen = open; }
    bool telegraphFrameOpen() const { return m_telegraphFrameOpen; }

    // Starts a sweep from the present carrier, the three values as typed.
    void startSweep(const QString &upper, const QString &step, const QString &interval);
    // Pauses (or resumes) the running sweep.
    void pauseSweep();
    // Saves the present settings into preset `n` (1-12); the panel shows P n.
    void savePreset(int n);
    // Recalls preset `n`, then 100 ms and the poll read its values back; the panel
    // shows P n at the end.
    QCoro::Task<> recallPreset(int n);
    // The K record of preset `n` as the generator reports it, asked up to 29 times 50
    // ms apart; nullopt when it never answered. `answers` tells whether a K record
    // answers this query (Presets::answers: not empty, not another preset's late
    // answer). The record is also left in the device record (presetRecord).
    QCoro::Task<std::optional<QString>> readPreset(int n,
                                                   std::function<bool(const QString &)> answers);

    // One of the poll's queries asked alone, and the frame that answers it: "G" (F, or W
    // while sweeping), "I" (A), "J" (M), "H" (S). nullopt when none came within `ms`.
    // The parser has stored it in the device record by then.
    enum class Query { Carrier, Tone, ModulationKind, Output };
    QCoro::Task<std::optional<Frame>> ask(Query query, int ms);

    // The line reserved for one exchange that must not be interleaved (the Setup
    // window's questions and its write-back): commands of the remote wait meanwhile.
    // Held while a LineHold lives.
    class LineHold {
    public:
        explicit LineHold(Generator &generator);
        ~LineHold();
        Q_DISABLE_COPY_MOVE(LineHold)

    private:
        QPointer<Generator> m_generator;
    };
    // Returns once no LineHold lives (at once when none does). Throws WaitCancelled when
    // the program is going away.
    QCoro::Task<> lineFree();

    // Keys `text` once with Morse elements of `elementMs`; busy until the generator
    // reports the end (its Q reply).
    void keyMorse(int elementMs, const QString &text);
    bool keying() const;
    // The keying is over without the generator's word (the line went away).
    void forgetKeying();

    // Tells whatever shows the record that it changed (a procedure of another object
    // changed it directly).
    void notifyChanged() { Q_EMIT changed(); }

Q_SIGNALS:
    // The device record changed: by a reply from the generator or by a procedure.
    void changed();
    // A procedure started a sweep (true) or ended one (false); the generator's own
    // replies say so through the parser's effects.
    void sweepStateChanged(bool sweeping);

private:
    // A dialog's answer: the panel becomes manual, the command goes out, then 100 ms and
    // the poll read what the generator made of it.
    QCoro::Task<> sendManualAndReadBack(QString command); // by value: a coroutine keeps it

    DeviceState &m_state;
    Link &m_link;
    Polling &m_polling;
    bool m_telegraphFrameOpen = false;
    int m_lineHolds = 0;
    WaitSet m_lineWaits; // the waits for the line's release
};
