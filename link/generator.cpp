#include "link/generator.h"

#include "link/commands.h"
#include "link/devicestate.h"
#include "link/link.h"
#include "link/polling.h"
#include "link/replyparser.h"

#include <limits>

namespace {
// Attempts per preset before the read-out gives up: the query goes out 29 times.
constexpr int GiveUpAttempt = 30;
constexpr int PresetQueryWaitMs = 50;
} // namespace

Generator::Generator(DeviceState &state, Link &link, Polling &polling, QObject *parent)
    : QObject(parent), m_state(state), m_link(link), m_polling(polling), m_lineWaits(link.time()) {
    // Every reply frame the parser has stored is a change of the record. (The identity
    // line is not: the panel keeps its first texts until the first frame.)
    connect(&m_link, &Link::replyHandled, this, [this](const ReplyEffects &effects) {
        if (effects.kind == ReplyEffects::Kind::Frame)
            Q_EMIT changed();
    });
}

bool Generator::connected() const {
    return m_link.generatorConnected() && !m_link.handedOver();
}

std::optional<double> Generator::carrierLimit(int16_t wideRange) {
    if (wideRange == 0)
        return 40000001.0;
    if (wideRange == 1)
        return 70000001.0;
    return std::nullopt;
}

void Generator::tuneCarrier(double hz) {
    m_state.carrierFreq = hz;
    m_state.activePreset = 0;
    m_link.sendCommand(Commands::setCarrier(hz));
    Q_EMIT changed();
}

QCoro::Task<> Generator::sendManualAndReadBack(QString command) {
    m_state.activePreset = 0;
    m_link.sendCommand(command);
    // Both waits throw WaitCancelled out of here when the program is going away.
    co_await m_link.delay(100);
    co_await m_polling.readParams();
    Q_EMIT changed();
}

QCoro::Task<> Generator::tuneCarrierAsTyped(const QString &text) {
    return sendManualAndReadBack(Commands::setCarrierAsTyped(text));
}

void Generator::setTone(int hz) {
    m_state.activePreset = 0;
    m_link.sendCommand(Commands::setModulationAsTyped(QString::number(hz)));
    Q_EMIT changed();
}

QCoro::Task<> Generator::setToneAsTyped(const QString &text) {
    return sendManualAndReadBack(Commands::setModulationAsTyped(text));
}

void Generator::setModulationKind(int kind) {
    m_state.activePreset = 0;
    m_state.modMode = static_cast<int16_t>(kind);
    m_link.sendCommand(Commands::setModulationMode(kind));
    Q_EMIT changed();
}

void Generator::nextModulationKind() {
    // Counted in int so that a value the generator reported at the top of the 16-bit
    // range steps to 0 instead of overflowing.
    int next = m_state.modMode + 1;
    if (next == 4 || next > std::numeric_limits<int16_t>::max())
        next = 0;
    setModulationKind(next);
}

void Generator::pressStop() {
    // Output off -> on -> off; during a sweep the first press only ends the sweep and
    // leaves the output regarded as on (2).
    int next = m_state.outputOn + 1; // int: no overflow at the top of the range
    if (next > 2)
        next = 2;
    QString command;
    bool sweepEnded = false;
    if (next == 2) {
        if (!m_state.sweeping)
            next = 0;
        else
            m_state.sweeping = false, sweepEnded = true;
        command = Commands::outputOff();
    } else if (next == 1) {
        command = Commands::outputOn();
    }
    m_state.outputOn = static_cast<int16_t>(next);
    if (!command.isEmpty())
        m_link.sendCommand(command);
    Q_EMIT changed();
    if (sweepEnded)
        Q_EMIT sweepStateChanged(false);
}

void Generator::endSweepAsStop() {
    m_state.sweeping = false;
    m_state.outputOn = 2;
    m_link.sendCommand(Commands::outputOff());
    Q_EMIT changed();
    Q_EMIT sweepStateChanged(false);
}

void Generator::switchOutputAsStop(bool on) {
    m_state.outputOn = on ? 1 : 0;
    m_link.sendCommand(on ? Commands::outputOn() : Commands::outputOff());
    Q_EMIT changed();
    Q_EMIT sweepStateChanged(false); // STOP always shows "Sweep"
}

void Generator::startSweep(const QString &upper, const QString &step, const QString &interval) {
    m_link.sendCommand(Commands::startSweep(upper, step, interval));
    m_state.sweeping = true;
    Q_EMIT changed();
    Q_EMIT sweepStateChanged(true);
}

void Generator::pauseSweep() {
    // The generator's replies tell what happened.
    m_link.sendCommand(Commands::pauseSweep());
}

void Generator::savePreset(int n) {
    m_link.sendCommand(Commands::savePreset(n));
    m_state.activePreset = static_cast<int16_t>(n);
    Q_EMIT changed();
}

QCoro::Task<> Generator::recallPreset(int n) {
    m_link.sendCommand(Commands::recallPreset(n));
    co_await m_link.delay(100);
    co_await m_polling.readParams();
    m_state.activePreset = static_cast<int16_t>(n);
    Q_EMIT changed();
}

QCoro::Task<std::optional<QString>>
Generator::readPreset(int n, std::function<bool(const QString &)> answers) {
    // A record that does not answer this query (a late answer to an earlier one) leaves
    // the query waiting for its own.
    const auto answersThis = [answers](const Frame &frame) { return answers(frame.text); };
    for (int attempt = 1; attempt < GiveUpAttempt; ++attempt) {
        const std::optional<Frame> frame = co_await m_link.ask(
            Commands::presetQuery(n), QStringLiteral("K"), PresetQueryWaitMs, answersThis);
        if (frame) {
            m_state.presetRecord = frame->text;
            co_return frame->text;
        }
    }
    co_return std::nullopt;
}

QCoro::Task<std::optional<Frame>> Generator::ask(Query query, int ms) {
    switch (query) {
    case Query::Carrier:
        return m_link.ask(Commands::pollCarrier(), QStringLiteral("FW"), ms);
    case Query::Tone:
        return m_link.ask(Commands::pollModulation(), QStringLiteral("A"), ms);
    case Query::ModulationKind:
        return m_link.ask(Commands::pollState(), QStringLiteral("M"), ms);
    case Query::Output:
        break;
    }
    return m_link.ask(Commands::pollStep(), QStringLiteral("S"), ms);
}

Generator::LineHold::LineHold(Generator &generator) : m_generator(&generator) {
    ++generator.m_lineHolds;
}

Generator::LineHold::~LineHold() {
    if (m_generator && --m_generator->m_lineHolds == 0)
        m_generator->m_lineWaits.wakeAll();
}

QCoro::Task<> Generator::lineFree() {
    while (m_lineHolds > 0) {
        // Only the release wakes it; the program going away throws out of it.
        co_await m_lineWaits.wait(-1);
    }
}

void Generator::keyMorse(int elementMs, const QString &text) {
    m_link.sendCommand(Commands::keyMorse(elementMs, text));
    m_state.telegraphBusy = true;
    Q_EMIT changed();
}

bool Generator::keying() const {
    return m_state.telegraphBusy;
}

void Generator::forgetKeying() {
    m_state.telegraphBusy = false;
}
