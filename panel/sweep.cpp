// Sweep: the three dialogs, the sweep command and Pause.
#include "panel/mainwindow.h"

#include "link/link.h"

#include <QPointer>
#include <QPushButton>

namespace {

struct SweepQuestion {
    const char *englishTitle;
    const char *englishPrompt;
    const char *czechTitle;
    const char *czechPrompt;
};

// Upper frequency, step, time for the span, asked in this order. The step prompt
// has no Czech text of its own.
const SweepQuestion SweepQuestions[] = {
    {"Set upper frequency", "Upper frequency (Hz) : ", "Nastavení horní frekvence",
     "Horní frekvence (Hz) : "},
    {"Set step", "Step (Hz) : ", "Nastavení kroku", "Step (Hz) : "},
    {"Set sweep interval Flo - Fhi (in sec.) : ", "Time (sec) : ",
     "Nastavení intervalu Flo - Fhi (v sekundách)", "Interval (sec) : "},
};

} // namespace

void MainWindow::connectSweep() {
    connect(sweepButton, &QPushButton::clicked, this, &MainWindow::sweepClicked);
    // Enter on a focused button presses it, as Space does.
    sweepButton->setAutoDefault(true);
}

void MainWindow::sweepClicked() {
    if (m_state.sweeping != 0) {
        // Pause (or resume); the generator's replies tell the panel what happened.
        m_link->sendCommand(QStringLiteral("P"));
        return;
    }

    // The language box is read each time, so unticking it brings English back here.
    const bool czech = czechCaptions();
    const QPointer<MainWindow> self(this);
    QStringList answers;
    for (const SweepQuestion &q : SweepQuestions) {
        const std::optional<QString> answer = m_services.dialogs->getText(
            this, QString::fromUtf8(czech ? q.czechTitle : q.englishTitle),
            QString::fromUtf8(czech ? q.czechPrompt : q.englishPrompt));
        if (!self || m_ending)
            return; // the window went away while the dialog was open
        // Used as typed; the generator judges the values. A cancelled dialog gives an
        // empty text and the command is sent all the same.
        answers << answer.value_or(QString());
    }

    m_link->sendCommand(QStringLiteral("W") + answers.join(QLatin1Char(' ')));
    m_state.sweeping = 1;
    sweepButton->setText(QStringLiteral("Pause"));
    displayAll();
}
