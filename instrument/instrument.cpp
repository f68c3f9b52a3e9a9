#include "instrument/instrument.h"

#include "instrument/connection.h"
#include "instrument/poller.h"
#include "instrument/settingsfile.h"
#include "link/commands.h"
#include "link/link.h"
#include "link/numbers.h"
#include "link/presetrecord.h"
#include "link/replyparser.h"
#include "link/waits.h"

#include <QDir>
#include <algorithm>
#include <limits>

namespace {
// Attempts per preset before the read-out gives up: the query goes out 29 times.
constexpr int GiveUpAttempt = 30;
constexpr int PresetQueryWaitMs = 50;
// The preset load: the generator's time after each command of a preset, and how long
// a question about the settings to put back waits for its answer.
constexpr int PresetCommandGapMs = 100;
constexpr int PresetAnswerMs = 1000;
constexpr double ModulationLimit = Instrument::HighestTone + 1; // exclusive, whatever the model
constexpr int MinMorseSpeed = 1;
constexpr int MaxMorseSpeed = 300;

// Upper limit (exclusive) of the carrier for the model's range (wideRange 0: 40 MHz,
// 1: 70 MHz); none for a model whose range the program does not know.
std::optional<double> carrierLimit(int16_t wideRange) {
    if (wideRange == 0)
        return 40000001.0;
    if (wideRange == 1)
        return 70000001.0;
    return std::nullopt;
}

// The value of a dialog answer, or none when the answer is not a number.
//
// The answer goes to the generator exactly as typed, and the generator reads the
// leading digits of its argument. So an answer counts as a number only when it is
// written as the generator reads it: decimal digits and nothing else ("7050000", also
// "001000"). Signs, decimal points, exponents and blanks fail the test: "4e7" or
// "4.5e6" would pass a numeric test here and then tune the generator to 4 Hz, and a
// leading blank or "+" may not be read at all. An empty (cancelled) answer fails too.
// Any length is safe: a long row of digits only gives a large value (or infinity),
// which fails the range test.
std::optional<double> answerValue(const QString &text) {
    const bool digitsOnly = std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
    if (text.isEmpty() || !digitsOnly || !Numbers::hasLeadingNumber(text))
        return std::nullopt;
    return Numbers::leadingValue(text);
}
} // namespace

Instrument::Instrument(SerialPort &port, TimeSource &time, QString settingsFolder,
                       std::function<void()> quit, QObject *parent)
    : QObject(parent), m_settingsFolder(std::move(settingsFolder)),
      m_link(std::make_unique<Link>(m_state, port, time)),
      m_lineWaits(std::make_unique<WaitSet>(time)), m_pauses(std::make_unique<WaitSet>(time)) {
    auto report = [this](const QString &what) { Q_EMIT failed(what); };
    m_poller = std::make_unique<Poller>(*m_link, time, report);
    m_connection = std::make_unique<Connection>(
        Connection::Context{m_state, *m_link, *m_poller, time, std::move(quit), report});
    // Every reply frame the parser has stored is a change of the record. (The identity
    // line is not: the panel keeps its first texts until the first frame.)
    connect(m_link.get(), &Link::replyHandled, this, [this](const ReplyEffects &effects) {
        if (effects.kind == ReplyEffects::Kind::Frame)
            Q_EMIT changed();
    });
    connect(m_link.get(), &Link::portLost, this, &Instrument::onPortLost);
}

Instrument::~Instrument() {
    // Whatever still waits on the line ends (WaitCancelled) before its parts go.
    m_link->waits().cancelAll();
    m_pauses->cancelAll();
    m_lineWaits->cancelAll();
    m_connection.reset();
    m_poller.reset();
}

Polling &Instrument::polling() {
    return *m_poller;
}

void Instrument::setConnectionWindows(ConnectionWindows *windows) {
    m_connection->setWindows(windows);
}

bool Instrument::connected() const {
    return m_link->generatorConnected() && !m_link->handedOver();
}

QString Instrument::settingsPath() const {
    return QDir(m_settingsFolder).filePath(SettingsFile::FileName);
}

bool Instrument::readSettings() {
    return SettingsFile::read(settingsPath(), m_state, &Instrument::acceptsMorseSpeed);
}

bool Instrument::writeSettings(QString *error) const {
    return SettingsFile::write(settingsPath(), m_state, error);
}

void Instrument::onPortLost() {
    // No reply will end what ran against the generator: a sweep and Morse keying are
    // over (the generator restarts when it comes back), and the panel puts the
    // radiotelegraph frame away.
    m_state.sweeping = false;
    m_state.telegraphBusy = false;
    m_telegraphFrameOpen = false;
    Q_EMIT changed();
}

Instrument::Outcome Instrument::checkCarrier(double hz) const {
    const std::optional<double> limit = carrierLimit(m_state.wideRange);
    if (!limit)
        return Outcome::UnknownRange;
    if (!(hz > 0 && hz < *limit))
        return Outcome::OutOfRange;
    return Outcome::Done;
}

std::optional<double> Instrument::highestCarrier() const {
    const std::optional<double> limit = carrierLimit(m_state.wideRange);
    if (!limit)
        return std::nullopt;
    return *limit - 1;
}

Instrument::Outcome Instrument::tuneCarrier(double hz) {
    if (!connected())
        return Outcome::NoGenerator;
    if (const Outcome judged = checkCarrier(hz); judged != Outcome::Done)
        return judged;
    return sendCarrier(hz);
}

Instrument::Outcome Instrument::sendCarrier(double hz) {
    m_state.carrierFreq = hz;
    m_state.activePreset = 0;
    m_link->sendCommand(Commands::setCarrier(hz));
    Q_EMIT changed();
    return Outcome::Done;
}

Instrument::Outcome Instrument::tuneUp(int32_t step) {
    // A click that was already on its way must not tune the generator out of its sweep.
    if (m_state.sweeping)
        return Outcome::Busy;
    return tuneCarrier(m_state.carrierFreq + step);
}

Instrument::Outcome Instrument::tuneDown(int32_t step) {
    if (!connected())
        return Outcome::NoGenerator;
    if (m_state.sweeping)
        return Outcome::Busy;
    const double difference = m_state.carrierFreq - step;
    if (!(difference > 0))
        return Outcome::OutOfRange;
    // Down needs no upper limit: it only comes nearer to the range.
    return sendCarrier(difference);
}

QCoro::Task<> Instrument::sendManualAndReadBack(QString command) {
    m_state.activePreset = 0;
    m_link->sendCommand(command);
    // Both waits throw WaitCancelled out of here when the program is going away.
    co_await m_link->delay(100);
    co_await m_poller->readParams();
    Q_EMIT changed();
}

QCoro::Task<Instrument::Outcome> Instrument::tuneCarrierAsTyped(const QString &text) {
    if (!connected())
        co_return Outcome::NoGenerator;
    const std::optional<double> limit = carrierLimit(m_state.wideRange);
    if (!limit)
        co_return Outcome::UnknownRange;
    const std::optional<double> value = answerValue(text);
    if (!value || !(*value > 0 && *value < *limit))
        co_return Outcome::OutOfRange;
    co_await sendManualAndReadBack(Commands::setCarrierAsTyped(text));
    co_return Outcome::Done;
}

Instrument::Outcome Instrument::setTone(double hz) {
    if (!connected())
        return Outcome::NoGenerator;
    if (!(hz >= 0 && hz < ModulationLimit))
        return Outcome::OutOfRange;
    m_state.activePreset = 0;
    m_link->sendCommand(Commands::setModulationAsTyped(QString::number(static_cast<int>(hz))));
    Q_EMIT changed();
    return Outcome::Done;
}

QCoro::Task<Instrument::Outcome> Instrument::setToneAsTyped(const QString &text) {
    if (!connected())
        co_return Outcome::NoGenerator;
    const std::optional<double> value = answerValue(text);
    if (!value || !(*value > 0 && *value < ModulationLimit))
        co_return Outcome::OutOfRange;
    co_await sendManualAndReadBack(Commands::setModulationAsTyped(text));
    co_return Outcome::Done;
}

QCoro::Task<> Instrument::enterCarrier(const QString &text) {
    m_link->sendCommand(Commands::setCarrierAsTyped(text));
    co_await m_poller->readParams();
}

QCoro::Task<> Instrument::enterTone(const QString &text) {
    m_link->sendCommand(Commands::setModulationAsTyped(text));
    co_await m_poller->readParams();
}

void Instrument::setModulationKind(int kind) {
    m_state.activePreset = 0;
    m_state.modMode = static_cast<int16_t>(kind);
    m_link->sendCommand(Commands::setModulationMode(kind));
    Q_EMIT changed();
}

void Instrument::nextModulationKind() {
    // Counted in int so that a value the generator reported at the top of the 16-bit
    // range steps to 0 instead of overflowing.
    int next = m_state.modMode + 1;
    if (next == 4 || next > std::numeric_limits<int16_t>::max())
        next = 0;
    setModulationKind(next);
}

void Instrument::pressStop() {
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
        m_link->sendCommand(command);
    Q_EMIT changed();
    if (sweepEnded)
        Q_EMIT sweepStateChanged(false);
}

void Instrument::endSweepAsStop() {
    m_state.sweeping = false;
    m_state.outputOn = 2;
    m_link->sendCommand(Commands::outputOff());
    Q_EMIT changed();
    Q_EMIT sweepStateChanged(false);
}

void Instrument::switchOutputAsStop(bool on) {
    m_state.outputOn = on ? 1 : 0;
    m_link->sendCommand(on ? Commands::outputOn() : Commands::outputOff());
    Q_EMIT changed();
    Q_EMIT sweepStateChanged(false); // STOP always shows "Sweep"
}

void Instrument::startSweep(const QString &upper, const QString &step, const QString &interval) {
    m_link->sendCommand(Commands::startSweep(upper, step, interval));
    m_state.sweeping = true;
    // The sweep starts at the present carrier: until the generator's first W report
    // that is its position, not 0 or where the last sweep stopped.
    m_state.sweepFreq = static_cast<int32_t>(
        std::clamp(m_state.carrierFreq, 0.0, double(std::numeric_limits<int32_t>::max())));
    Q_EMIT changed();
    Q_EMIT sweepStateChanged(true);
}

Instrument::Outcome Instrument::pauseSweep() {
    if (!connected())
        return Outcome::NoGenerator;
    if (!m_state.sweeping)
        return Outcome::NoSweep;
    // The generator's replies tell what happened.
    m_link->sendCommand(Commands::pauseSweep());
    return Outcome::Done;
}

void Instrument::savePreset(int n) {
    m_link->sendCommand(Commands::savePreset(n));
    m_state.activePreset = static_cast<int16_t>(n);
    Q_EMIT changed();
}

QCoro::Task<> Instrument::recallPreset(int n) {
    m_link->sendCommand(Commands::recallPreset(n));
    co_await m_link->delay(100);
    co_await m_poller->readParams();
    m_state.activePreset = static_cast<int16_t>(n);
    Q_EMIT changed();
}

QCoro::Task<std::optional<QString>> Instrument::readPreset(int n) {
    // A record that does not answer this query (a late answer to an earlier one) leaves
    // the query waiting for its own.
    const auto answersThis = [n](const Frame &frame) { return Presets::answers(n, frame.text); };
    const Commands::Question question = Commands::presetQuestion(n);
    for (int attempt = 1; attempt < GiveUpAttempt; ++attempt) {
        const std::optional<Frame> frame = co_await m_link->ask(
            question.command, question.answeredBy, PresetQueryWaitMs, answersThis);
        if (frame)
            co_return frame->text;
    }
    co_return std::nullopt;
}

QCoro::Task<std::optional<Frame>> Instrument::ask(Query query, int ms) {
    const Commands::Question questions[] = {
        Commands::carrierQuestion(), Commands::modulationQuestion(),
        Commands::modulationKindQuestion(), Commands::outputQuestion()};
    const Commands::Question &question = questions[static_cast<int>(query)];
    return m_link->ask(question.command, question.answeredBy, ms);
}

Instrument::LineHold::LineHold(Instrument &instrument) : m_instrument(&instrument) {
    ++instrument.m_lineHolds;
}

Instrument::LineHold::~LineHold() {
    if (m_instrument && --m_instrument->m_lineHolds == 0)
        m_instrument->m_lineWaits->wakeAll();
}

QCoro::Task<> Instrument::lineFree() {
    while (m_lineHolds > 0) {
        // Only the release wakes it; the program going away throws out of it.
        co_await m_lineWaits->wait(-1);
    }
}

QCoro::Task<> Instrument::readIdentity() {
    for (const Commands::Question &question :
         {Commands::serialNumberQuestion(), Commands::productionDateQuestion()})
        co_await m_link->ask(question.command, question.answeredBy, 100);
}

void Instrument::stampProductionDate(const QDate &date) {
    m_link->sendCommand(Commands::stampProductionDate(date));
}

QCoro::Task<Instrument::SetupAnswers> Instrument::readSetup() {
    // Each wait ends as soon as its own reply has been handled. Remote commands wait
    // meanwhile, so that no other reply ends them.
    const LineHold hold(*this);
    SetupAnswers answers;
    const Commands::Question display = Commands::displayOperatorQuestion();
    answers.displayOperator =
        (co_await m_link->ask(display.command, display.answeredBy, 1000)).has_value();
    const Commands::Question coarse = Commands::coarseStepQuestion();
    answers.coarseStep =
        (co_await m_link->ask(coarse.command, coarse.answeredBy, 1000)).has_value();
    co_return answers;
}

QCoro::Task<Instrument::SetupSent> Instrument::sendSetup(int mode, int32_t displayOperator,
                                                         int32_t coarseStep) {
    SetupSent sent;
    const quint64 opening = m_link->opens();
    const LineHold hold(*this);
    sent.displayOperator = m_link->generatorConnected() &&
                           m_link->sendCommand(Commands::setDisplayOperator(mode, displayOperator));
    co_await m_link->delay(1000);
    if (sent.displayOperator && m_link->generatorConnected() && m_link->opens() == opening)
        sent.coarseStep = m_link->sendCommand(Commands::setCoarseStep(coarseStep));
    co_return sent;
}

bool Instrument::acceptsMorseSpeed(int speed) {
    return speed >= MinMorseSpeed && speed <= MaxMorseSpeed;
}

Instrument::Outcome Instrument::setMorseSpeed(int speed) {
    if (!acceptsMorseSpeed(speed))
        return Outcome::OutOfRange;
    m_state.telegraphSpeed = static_cast<int16_t>(speed);
    return Outcome::Done;
}

Instrument::Outcome Instrument::keyMorse(const QString &text, WhileKeying whileKeying) {
    if (!connected())
        return Outcome::NoGenerator;
    if (m_state.modelName != QLatin1String("KVT 20"))
        return Outcome::NotThisModel;
    if (m_state.telegraphBusy && whileKeying == WhileKeying::Refuse)
        return Outcome::Busy;
    m_link->sendCommand(Commands::keyMorse(Presets::elementLength(m_state.telegraphSpeed), text));
    m_state.telegraphBusy = true;
    Q_EMIT changed();
    return Outcome::Done;
}

void Instrument::openTelegraphFrame() {
    m_telegraphFrameOpen = true;
    m_link->sendCommand(Commands::outputOff());
}

void Instrument::closeTelegraphFrame() {
    m_telegraphFrameOpen = false;
    m_link->sendCommand(Commands::outputOn());
}

bool Instrument::keying() const {
    return m_state.telegraphBusy;
}

void Instrument::forgetKeying() {
    m_state.telegraphBusy = false;
}

QCoro::Task<std::optional<QList<PresetSetFile::Row>>> Instrument::readPresetSet() {
    QList<PresetSetFile::Row> set;
    for (int n = 1; n <= Presets::Count; ++n) {
        const std::optional<QString> record = co_await readPreset(n);
        const std::optional<PresetSetFile::Row> row =
            record ? PresetSetFile::fromRecord(n, *record) : std::nullopt;
        if (!row)
            co_return std::nullopt;
        set << *row;
    }
    co_return set;
}

std::optional<PresetSetFile::Problem>
Instrument::checkPresetRows(const QList<PresetSetFile::Row> &rows) const {
    const std::optional<double> limit = carrierLimit(m_state.wideRange);
    if (!limit)
        return PresetSetFile::Problem::make(
            0, {},
            QT_TRANSLATE_NOOP("PresetSetFile", "The generator's carrier range is not known."));
    bool seen[Presets::Count + 1] = {};
    for (const PresetSetFile::Row &row : rows) {
        if (row.number < 1 || row.number > Presets::Count || seen[row.number])
            return PresetSetFile::Problem::make(
                row.line, QStringLiteral("preset"),
                QT_TRANSLATE_NOOP("PresetSetFile", "preset %1 is not 1-12 or is given twice"),
                {QString::number(row.number)});
        seen[row.number] = true;
        if (std::optional<PresetSetFile::Problem> problem =
                PresetSetFile::check(row, static_cast<qint64>(*limit)))
            return problem;
    }
    return std::nullopt;
}

QCoro::Task<Instrument::PresetLoadPlan> Instrument::planPresetLoad(QList<PresetSetFile::Row> rows) {
    PresetLoadPlan plan;
    if (!connected()) {
        plan.problem = PresetSetFile::Problem::make(
            0, {}, QT_TRANSLATE_NOOP("PresetSetFile", "No generator is connected."));
        co_return plan;
    }
    plan.problem = checkPresetRows(rows);
    if (plan.problem)
        co_return plan;
    const std::optional<QList<PresetSetFile::Row>> present = co_await readPresetSet();
    if (!present) {
        plan.problem = PresetSetFile::Problem::make(
            0, {},
            QT_TRANSLATE_NOOP("PresetSetFile", "The generator's presets could not all be read."));
        co_return plan;
    }
    plan.present = *present;
    for (const PresetSetFile::Row &row : rows) {
        if (PresetSetFile::notInUse(row))
            plan.notInUse << row.number;
        else if (PresetSetFile::differs(row, plan.present[row.number - 1]))
            plan.changed << row;
        else
            ++plan.unchanged;
    }
    co_return plan;
}

QCoro::Task<Instrument::PresetLoadResult>
Instrument::loadPresets(PresetLoadPlan plan, std::function<void(int, int, int)> progress,
                        std::function<bool()> cancelled) {
    using End = PresetLoadResult::End;
    PresetLoadResult result;
    result.unchanged = plan.unchanged;
    result.notInUse = plan.notInUse;
    const auto refuse = [&result](Outcome why) {
        result.end = End::Refused;
        result.refusal = why;
        return result;
    };
    if (!connected())
        co_return refuse(Outcome::NoGenerator);
    // S stores what the generator does now: a sweep or Morse keying would go into the
    // preset, and so would a remote command or another exchange between its commands.
    // The radiotelegraph frame keeps the output off, which the end would undo.
    if (m_state.sweeping || keying() || m_telegraphFrameOpen || m_lineHolds > 0)
        co_return refuse(Outcome::Busy);
    // The plan may be old or made elsewhere: its rows are checked again.
    if (plan.problem || checkPresetRows(plan.changed))
        co_return refuse(Outcome::OutOfRange);
    if (plan.changed.isEmpty())
        co_return result;

    const LineHold hold(*this);
    const quint64 opening = m_link->opens();
    const auto lineUp = [this, opening] { return connected() && m_link->opens() == opening; };
    // What is put back at the end, asked afresh; a generator sweeping on its own (its
    // own panel started it) answers W.
    const std::optional<Frame> carrier = co_await ask(Query::Carrier, PresetAnswerMs);
    if (!carrier || !lineUp()) {
        result.end = End::LineLost;
        co_return result;
    }
    if (carrier->letter == QLatin1Char('W') || m_state.sweeping)
        co_return refuse(Outcome::Busy);
    co_await ask(Query::Tone, PresetAnswerMs);
    co_await ask(Query::ModulationKind, PresetAnswerMs);
    co_await ask(Query::Output, PresetAnswerMs);
    const DeviceState before = m_state;

    if (before.outputOn != 0) {
        m_link->sendCommand(Commands::outputOff());
        m_state.outputOn = 0;
        Q_EMIT changed();
    }
    const int total = static_cast<int>(plan.changed.size());
    for (int i = 0; i < total; ++i) {
        if (cancelled && cancelled()) {
            result.end = End::Cancelled;
            break;
        }
        const PresetSetFile::Row &row = plan.changed[i];
        const bool sweep = PresetSetFile::isSweep(row);
        // F, A (when a tone is set), M or W, each given 100 ms, then S stores them.
        QStringList commands{Commands::setCarrier(static_cast<double>(row.carrierHz))};
        if (row.toneHz > 0)
            commands << Commands::setModulationAsTyped(QString::number(row.toneHz));
        commands << (sweep ? Commands::startSweep(QString::number(row.topHz),
                                                  QString::number(row.stepHz),
                                                  QString::number(row.intervalS))
                           : Commands::setModulationMode(row.mode));
        bool sent = true;
        for (const QString &command : std::as_const(commands)) {
            sent = sent && m_link->sendCommand(command);
            co_await m_pauses->wait(PresetCommandGapMs);
        }
        sent = sent && lineUp() && m_link->sendCommand(Commands::savePreset(row.number));
        // The sweep W started ends; the output stays off.
        if (sent && sweep)
            sent = m_link->sendCommand(Commands::outputOff());
        // (A co_await as a statement of its own: GCC 12 miscompiles one inside ?:.)
        std::optional<QString> record;
        if (sent)
            record = co_await readPreset(row.number);
        if (!record || !lineUp()) {
            result.end = End::LineLost;
            break;
        }
        const std::optional<PresetSetFile::Row> stored =
            PresetSetFile::fromRecord(row.number, *record);
        if (stored && !PresetSetFile::differs(row, *stored))
            result.written << row.number;
        else if (sweep && stored && !PresetSetFile::isSweep(*stored))
            result.sweepNotStored << row.number;
        else
            result.mismatched << row.number;
        if (progress)
            progress(i + 1, total, row.number);
    }

    // Everything as it was before the load, when the line is still the one it began on.
    if (!lineUp())
        co_return result;
    if (before.carrierFreq > 0) {
        m_link->sendCommand(Commands::setCarrier(before.carrierFreq));
        co_await m_pauses->wait(PresetCommandGapMs);
    }
    m_link->sendCommand(Commands::setModulationAsTyped(QString::number(before.modFreq)));
    co_await m_pauses->wait(PresetCommandGapMs);
    if (before.modMode >= 0 && before.modMode <= 3) {
        m_link->sendCommand(Commands::setModulationMode(before.modMode));
        co_await m_pauses->wait(PresetCommandGapMs);
    }
    if (before.outputOn != 0)
        m_link->sendCommand(Commands::outputOn());
    m_state.outputOn = before.outputOn;
    m_state.activePreset = before.activePreset;
    Q_EMIT changed();
    // The panel shows what the generator now has, not what a preset left in the record.
    co_await ask(Query::Carrier, PresetAnswerMs);
    co_await ask(Query::Tone, PresetAnswerMs);
    co_await ask(Query::ModulationKind, PresetAnswerMs);
    m_state.outputOn = before.outputOn;
    Q_EMIT changed();
    co_return result;
}
