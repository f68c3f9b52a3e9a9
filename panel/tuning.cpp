// Frequency tuning: the carrier and modulation dialogs, Up, Down, Step and the
// direct-entry row.
#include "panel/mainwindow.h"

#include "link/entryguard.h"
#include "link/link.h"
#include "link/numbers.h"
#include "panel/lamp.h"

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

// Upper limit (exclusive) of the carrier for the model's range; none for a model
// whose range the program does not know, which accepts no carrier from the dialog
// and no Up step.
std::optional<double> carrierLimit(int16_t wideRange) {
    if (wideRange == 0)
        return 40000001.0;
    if (wideRange == 1)
        return 70000001.0;
    return std::nullopt;
}

constexpr double ModulationLimit = 65536.0; // exclusive, whatever the model

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

// A click on a direct-entry box selects its whole text, so typing replaces it.
class SelectOnClick final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::MouseButtonRelease) {
            if (auto *box = qobject_cast<QLineEdit *>(watched))
                box->setSelection(0, std::min<qsizetype>(100, box->text().size()));
        }
        return false;
    }
};

} // namespace

void MainWindow::connectTuning() {
    connect(carrierReadout, &ClickLabel::clicked, this, [this] { carrierReadoutClicked(); });
    connect(modulationReadout, &ClickLabel::clicked, this, [this] { modulationReadoutClicked(); });
    connect(upButton, &QPushButton::clicked, this, &MainWindow::upClicked);
    connect(downButton, &QPushButton::clicked, this, &MainWindow::downClicked);
    connect(stepButton, &QPushButton::clicked, this, &MainWindow::stepClicked);
    connect(directInButton, &QPushButton::clicked, this, &MainWindow::directInClicked);
    // Enter on a focused button presses it, as Space does.
    for (QPushButton *b : {upButton, downButton, stepButton, directInButton})
        b->setAutoDefault(true);

    // The boxes take digits only, also when text is pasted; a pasted line break is
    // dropped first, so "7050000" and a line end pastes as 7050000.
    const QRegularExpression digits(QStringLiteral("[0-9]*"));
    carrierEntry->setValidator(new QRegularExpressionValidator(digits, carrierEntry));
    modulationEntry->setValidator(new QRegularExpressionValidator(digits, modulationEntry));
    guardEntry(carrierEntry);
    guardEntry(modulationEntry);
    auto *clicks = new SelectOnClick(this);
    carrierEntry->installEventFilter(clicks);
    modulationEntry->installEventFilter(clicks);
}

QCoro::Task<> MainWindow::frequencyDialog(bool carrier) {
    bool &busy = carrier ? m_carrierDialogBusy : m_modulationDialogBusy;
    if (busy)
        co_return; // the last answer is still being sent and read back
    busy = true;
    const QPointer<MainWindow> self(this);
    const std::optional<QString> answer =
        carrier ? m_services.dialogs->getText(this, QStringLiteral("Set carrier frequency"),
                                              QStringLiteral("Tune to frequency (Hz) : "))
                : m_services.dialogs->getText(this, QStringLiteral("Set modulation frequency"),
                                              QStringLiteral("Modulation freq. (Hz) : "));
    if (!self || m_ending)
        co_return; // the window went away while the dialog was open
    const std::optional<double> value = answer ? answerValue(*answer) : std::nullopt;
    const std::optional<double> limit = carrier ? carrierLimit(m_state.wideRange) : ModulationLimit;
    if (!value || !limit || !(*value > 0 && *value < *limit)) {
        busy = false; // ignored without a word
        co_return;
    }

    m_state.activePreset = 0;
    m_link->sendCommand((carrier ? QStringLiteral("F") : QStringLiteral("A")) + *answer);
    // Both waits throw WaitCancelled out of here when the window is going away.
    co_await m_link->delay(100);
    co_await readParams();
    displayAll();
    busy = false;
}

QCoro::Task<> MainWindow::carrierReadoutClicked() {
    return frequencyDialog(true);
}

QCoro::Task<> MainWindow::modulationReadoutClicked() {
    return frequencyDialog(false);
}

void MainWindow::upClicked() {
    // Up and Down are disabled while sweeping; a click that was already on its way
    // must not tune the generator out of its sweep either.
    if (m_state.sweeping == 1)
        return;
    const std::optional<double> limit = carrierLimit(m_state.wideRange);
    const double sum = m_state.carrierFreq + m_state.tuneStep;
    if (!limit || !(sum < *limit))
        return;
    m_state.carrierFreq = sum;
    m_state.activePreset = 0;
    m_link->sendCommand(QStringLiteral("F") + Numbers::plain(m_state.carrierFreq));
    displayAll();
}

void MainWindow::downClicked() {
    if (m_state.sweeping == 1)
        return;
    const double difference = m_state.carrierFreq - m_state.tuneStep;
    if (!(difference > 0))
        return;
    m_state.carrierFreq = difference;
    m_state.activePreset = 0;
    m_link->sendCommand(QStringLiteral("F") + Numbers::plain(m_state.carrierFreq));
    displayAll();
}

void MainWindow::stepClicked() {
    // 10 kHz, 100 kHz, 1 MHz, then back to 1 Hz. A step that no longer fits (only a
    // corrupted value could get there) starts the cycle again as well.
    const qint64 product = qint64{m_state.tuneStep} * 10;
    const bool fits = product >= std::numeric_limits<int32_t>::min() &&
                      product <= std::numeric_limits<int32_t>::max();
    m_state.tuneStep = (product == 10000000 || !fits) ? 1 : static_cast<int32_t>(product);
    displayAll();
}

void MainWindow::directInClicked() {
    if (height() == collapsedHeight()) {
        setFixedHeight(expandedHeight());
        carrierEntry->setText(Numbers::plain(m_state.carrierFreq));
        modulationEntry->setText(QString::number(m_state.modFreq));
        carrierEntry->setSelection(0, std::min<qsizetype>(100, carrierEntry->text().size()));
        carrierEntry->setFocus();
    } else {
        setFixedHeight(collapsedHeight());
    }
}

bool MainWindow::directEntryKey(QLineEdit *box, QKeyEvent *event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Sent as it stands, without a range test: the generator's replies to the
        // poll show what it made of it.
        const QString letter = box == carrierEntry ? QStringLiteral("F") : QStringLiteral("A");
        m_link->sendCommand(letter + box->text());
        readParams();
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
