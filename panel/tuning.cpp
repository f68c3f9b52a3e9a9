// Frequency tuning: the carrier and modulation dialogs, Up, Down, Step and the
// direct-entry row.
#include "panel/tuning.h"

#include "instrument/instrument.h"
#include "instrument/polling.h"
#include "link/devicestate.h"
#include "link/numbers.h"
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

constexpr int MaxEntryLength = 20; // characters in a direct-entry box

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
    // An answer out of range (or cancelled) is ignored without a word. The waits throw
    // WaitCancelled out of here when the window is going away.
    const QString text = answer.value_or(QString());
    if (carrier)
        co_await m_context.instrument.tuneCarrierAsTyped(text);
    else
        co_await m_context.instrument.setToneAsTyped(text);
    busy = false;
}

// Up and Down are disabled while sweeping; the Instrument refuses a click that was
// already on its way, and a step out of the model's range, without a word.
void Tuning::up() {
    m_context.instrument.tuneUp(m_step);
}

void Tuning::down() {
    m_context.instrument.tuneDown(m_step);
}

void Tuning::setStep(int32_t hz) {
    m_step = hz;
}

void Tuning::nextStep() {
    // 10 kHz, 100 kHz, 1 MHz, then back to 1 Hz. A step that no longer fits (only a
    // corrupted value could get there) starts the cycle again as well.
    const qint64 product = qint64{m_step} * 10;
    const bool fits = product >= std::numeric_limits<int32_t>::min() &&
                      product <= std::numeric_limits<int32_t>::max();
    setStep((product == 10000000 || !fits) ? 1 : static_cast<int32_t>(product));
    Q_EMIT stepChanged();
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
        startProcedure(m_context, box == m_controls.carrierEntry
                                      ? m_context.instrument.enterCarrier(box->text())
                                      : m_context.instrument.enterTone(box->text()));
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
