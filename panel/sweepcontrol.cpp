#include "panel/sweepcontrol.h"

#include "link/devicestate.h"
#include "link/link.h"
#include "link/panelcontext.h"
#include "link/services.h"

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

SweepControl::SweepControl(const PanelContext &context, QPushButton *sweepButton,
                           std::function<bool()> czech, QObject *parent)
    : QObject(parent), m_context(context), m_sweepButton(sweepButton), m_czech(std::move(czech)) {
    connect(m_sweepButton, &QPushButton::clicked, this, &SweepControl::sweepOrPause);
}

void SweepControl::sweepOrPause() {
    DeviceState &state = m_context.state;
    if (state.sweeping != 0) {
        // Pause (or resume); the generator's replies tell the panel what happened.
        m_context.link.sendCommand(QStringLiteral("P"));
        return;
    }

    // The language box is read each time, so unticking it brings English back here.
    const bool czech = m_czech();
    const QPointer<SweepControl> self(this);
    QStringList answers;
    for (const SweepQuestion &q : SweepQuestions) {
        const std::optional<QString> answer = m_context.services.dialogs->getText(
            m_context.window, QString::fromUtf8(czech ? q.czechTitle : q.englishTitle),
            QString::fromUtf8(czech ? q.czechPrompt : q.englishPrompt));
        if (!self || m_context.ending())
            return; // the window went away while the dialog was open
        // Used as typed; the generator judges the values. A cancelled dialog gives an
        // empty text and the command is sent all the same.
        answers << answer.value_or(QString());
    }

    m_context.link.sendCommand(QStringLiteral("W") + answers.join(QLatin1Char(' ')));
    state.sweeping = 1;
    m_sweepButton->setText(QStringLiteral("Pause"));
    m_context.displayAll();
}
