// Frequency tuning: the carrier and modulation dialogs, Up, Down, Step and the
// direct-entry row.
#include "panel/tuning.h"

#include "link/commands.h"
#include "link/devicestate.h"
#include "link/generator.h"
#include "link/link.h"
#include "link/numbers.h"
#include "link/polling.h"
#include "panel/lamp.h"
#include "widgets/entryguard.h"
#include "widgets/panelcontext.h"
#include "widgets/services.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include <algorithm>
#include <limits>
#include <optional>

namespace {

// The carrier's limit for the model's range: a model whose range the program does not
// know accepts no carrier from the dialog and no Up step.
std::optional<double> carrierLimit(int16_t wideRange) {
    return Generator::carrierLimit(wideRange);
}

constexpr double ModulationLimit = Generator::ModulationLimit;
constexpr int MaxEntryLength = 20; // characters in a direct-entry box

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

Tuning::Tuning(const PanelContext &context, Controls controls, QObject *parent)
    : QObject(parent), m_context(context), m_controls(std::move(controls)) {
    const Controls &c = m_controls;
    connect(c.carrierReadout, &ClickLabel::clicked, this,
            [this] { startProcedure(m_context, frequencyDialog(true)); });
    connect(c.modulationReadout, &ClickLabel::clicked, this,
            [this] { startProcedure(m_context, frequencyDialog(false)); });
    connect(c.upButton, &QPushButton::clicked, this, &Tuning::up);
    connect(c.downButton, &QPushButton::clicked, this, &Tuning::down);
    connect(c.stepButton, &QPushButton::clicked, this, &Tuning::nextStep);
    connect(c.directInButton, &QPushButton::clicked, this, &Tuning::toggleDirectEntry);

    // The boxes take digits only, also when text is pasted; a pasted line break is
    // dropped first, so "7050000" and a line end pastes as 7050000. What is typed goes
    // on the line as it stands, so each box holds at most 20 characters: every value
    // with leading zeros fits, a pasted page does not become a 32 KB command.
    const QRegularExpression digits(QStringLiteral("[0-9]*"));
    for (QLineEdit *box : {c.carrierEntry, c.modulationEntry}) {
        box->setMaxLength(MaxEntryLength);
        box->setValidator(new QRegularExpressionValidator(digits, box));
        guardEntry(box);
        box->installEventFilter(this);
    }
}

bool Tuning::eventFilter(QObject *watched, QEvent *event) {
    auto *box = qobject_cast<QLineEdit *>(watched);
    if (!box || (box != m_controls.carrierEntry && box != m_controls.modulationEntry))
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress)
        return directEntryKey(box, static_cast<QKeyEvent *>(event));
    if (event->type() == QEvent::MouseButtonRelease) {
        // A click selects the box's text (its first 100 characters), so typing
        // replaces it.
        box->setSelection(0, static_cast<int>(std::min<qsizetype>(100, box->text().size())));
    }
    return false;
}

QCoro::Task<> Tuning::frequencyDialog(bool carrier) {
    bool &busy = carrier ? m_carrierDialogBusy : m_modulationDialogBusy;
    if (busy)
        co_return; // the last answer is still being sent and read back
    busy = true;
    const QPointer<Tuning> self(this);
    Dialogs &dialogs = *m_context.services.dialogs;
    const std::optional<QString> answer =
        carrier ? dialogs.getText(m_context.window, QStringLiteral("Set carrier frequency"),
                                  QStringLiteral("Tune to frequency (Hz) : "))
                : dialogs.getText(m_context.window, QStringLiteral("Set modulation frequency"),
                                  QStringLiteral("Modulation freq. (Hz) : "));
    if (!self || m_context.ending())
        co_return; // the window went away while the dialog was open
    DeviceState &state = m_context.state;
    const std::optional<double> value = answer ? answerValue(*answer) : std::nullopt;
    const std::optional<double> limit = carrier ? carrierLimit(state.wideRange) : ModulationLimit;
    if (!value || !limit || !(*value > 0 && *value < *limit)) {
        busy = false; // ignored without a word
        co_return;
    }

    // The waits throw WaitCancelled out of here when the window is going away.
    if (carrier)
        co_await m_context.generator.tuneCarrierAsTyped(*answer);
    else
        co_await m_context.generator.setToneAsTyped(*answer);
    busy = false;
}

void Tuning::up() {
    DeviceState &state = m_context.state;
    // Up and Down are disabled while sweeping; a click that was already on its way
    // must not tune the generator out of its sweep either.
    if (state.sweeping)
        return;
    const std::optional<double> limit = carrierLimit(state.wideRange);
    const double sum = state.carrierFreq + state.tuneStep;
    if (!limit || !(sum < *limit))
        return;
    m_context.generator.tuneCarrier(sum);
}

void Tuning::down() {
    DeviceState &state = m_context.state;
    if (state.sweeping)
        return;
    const double difference = state.carrierFreq - state.tuneStep;
    if (!(difference > 0))
        return;
    m_context.generator.tuneCarrier(difference);
}

void Tuning::nextStep() {
    DeviceState &state = m_context.state;
    // 10 kHz, 100 kHz, 1 MHz, then back to 1 Hz. A step that no longer fits (only a
    // corrupted value could get there) starts the cycle again as well.
    const qint64 product = qint64{state.tuneStep} * 10;
    const bool fits = product >= std::numeric_limits<int32_t>::min() &&
                      product <= std::numeric_limits<int32_t>::max();
    state.tuneStep = (product == 10000000 || !fits) ? 1 : static_cast<int32_t>(product);
    m_context.displayAll();
}

void Tuning::toggleDirectEntry() {
    if (m_controls.directEntryShown()) {
        m_controls.setDirectEntryShown(false);
        return;
    }
    m_controls.setDirectEntryShown(true);
    QLineEdit *carrier = m_controls.carrierEntry;
    carrier->setText(Numbers::plain(m_context.state.carrierFreq));
    m_controls.modulationEntry->setText(QString::number(m_context.state.modFreq));
    carrier->setSelection(0, static_cast<int>(std::min<qsizetype>(100, carrier->text().size())));
    carrier->setFocus();
}

bool Tuning::directEntryKey(QLineEdit *box, QKeyEvent *event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Sent as it stands, without a range test: the generator's replies to the
        // poll show what it made of it.
        m_context.link.sendCommand(box == m_controls.carrierEntry
                                       ? Commands::setCarrierAsTyped(box->text())
                                       : Commands::setModulationAsTyped(box->text()));
        startProcedure(m_context, m_context.polling.readParams());
        box->setSelection(0, std::min<qsizetype>(50, box->text().size()));
        return true;
    }
    if (event->key() == Qt::Key_Backspace)
        return true;
    // Only digits reach the box. Keys that type no character (Delete, arrows, Home,
    // Tab) and control shortcuts (copy, paste, select all, undo) keep working; what
    // they paste is held to digits by the box's validator.
    const QString text = event->text();
    if (text.isEmpty())
        return false;
    const bool digits = std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
    if (digits)
        return false;
    const bool typesCharacter = std::any_of(text.cbegin(), text.cend(), [](QChar c) {
        return c.unicode() >= 0x20 && c.unicode() != 0x7f;
    });
    return typesCharacter;
}
