// Sweep: the three dialogs, the sweep command and Pause.
#include "panel/mainwindow.h"

#include "link/link.h"
#include "setup/setupdialog.h"

#include <QPointer>
#include <QPushButton>

namespace {

struct SweepQuestion {
    const char *title;
    const char *prompt;
};

// Upper frequency, step, time for the span, asked in this order, in English; the
// Czech texts come from the Czech captions (context "SweepDialogs"). The step prompt
// has no Czech text of its own.
const SweepQuestion SweepQuestions[] = {
    {QT_TRANSLATE_NOOP("SweepDialogs", "Set upper frequency"),
     QT_TRANSLATE_NOOP("SweepDialogs", "Upper frequency (Hz) : ")},
    {QT_TRANSLATE_NOOP("SweepDialogs", "Set step"),
     QT_TRANSLATE_NOOP("SweepDialogs", "Step (Hz) : ")},
    {QT_TRANSLATE_NOOP("SweepDialogs", "Set sweep interval Flo - Fhi (in sec.) : "),
     QT_TRANSLATE_NOOP("SweepDialogs", "Time (sec) : ")},
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
    // Reading it creates the setup window (hidden) if need be.
    const SetupDialog &setup = setupDialog();
    const QPointer<MainWindow> self(this);
    QStringList answers;
    for (const SweepQuestion &q : SweepQuestions) {
        const std::optional<QString> answer =
            m_services.dialogs->getText(this, setup.inChosenLanguage("SweepDialogs", q.title),
                                        setup.inChosenLanguage("SweepDialogs", q.prompt));
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
