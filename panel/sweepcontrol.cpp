#include "panel/sweepcontrol.h"

#include "instrument/instrument.h"
#include "link/devicestate.h"
#include "widgets/panelcontext.h"
#include "widgets/services.h"

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

SweepControl::SweepControl(const PanelContext &context, Controls controls, QObject *parent)
    : QObject(parent), m_context(context), m_controls(std::move(controls)) {
    connect(m_controls.sweepButton, &QPushButton::clicked, this, &SweepControl::sweepOrPause);
}

void SweepControl::sweepOrPause() {
    if (m_context.state.sweeping) {
        // Pause (or resume); the generator's replies tell the panel what happened.
        m_context.instrument.pauseSweep();
        return;
    }

    // The language is asked each time, so unticking the box brings English back here.
    const QPointer<SweepControl> self(this);
    QStringList answers;
    for (const SweepQuestion &q : SweepQuestions) {
        const std::optional<QString> answer = m_context.services.dialogs->getText(
            m_context.window, m_controls.inChosenLanguage(q.title),
            m_controls.inChosenLanguage(q.prompt));
        if (!self || m_context.ending())
            return; // the window went away while the dialog was open
        // Used as typed; the generator judges the values. A cancelled dialog gives an
        // empty text and the command is sent all the same.
        answers << answer.value_or(QString());
    }

    m_context.instrument.startSweep(answers[0], answers[1], answers[2]);
}
