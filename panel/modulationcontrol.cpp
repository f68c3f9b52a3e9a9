#include "panel/modulationcontrol.h"

#include "link/commands.h"
#include "link/devicestate.h"
#include "link/link.h"
#include "widgets/panelcontext.h"

#include <QPushButton>

#include <limits>

ModulationControl::ModulationControl(const PanelContext &context, Controls controls,
                                     QObject *parent)
    : QObject(parent), m_context(context), m_controls(std::move(controls)) {
    connect(m_controls.amModeButton, &QPushButton::clicked, this,
            &ModulationControl::nextModulationKind);
    connect(m_controls.stopButton, &QPushButton::clicked, this, &ModulationControl::stop);
    connect(m_controls.cwButton, &QPushButton::clicked, this, &ModulationControl::openTelegraph);
}

void ModulationControl::nextModulationKind() {
    // none -> still -> beep -> trill -> none. Counted in int so that a value the
    // generator reported at the top of the 16-bit range steps to 0 instead of
    // overflowing.
    DeviceState &state = m_context.state;
    state.activePreset = 0;
    int next = state.modMode + 1;
    if (next == 4 || next > std::numeric_limits<int16_t>::max())
        next = 0;
    state.modMode = static_cast<int16_t>(next);
    m_context.link.sendCommand(Commands::setModulationMode(state.modMode));
    m_context.displayAll();
}

void ModulationControl::stop() {
    // Output off -> on -> off; during a sweep the first press only ends the sweep and
    // leaves the output regarded as on (2).
    DeviceState &state = m_context.state;
    int next = state.outputOn + 1; // int: no overflow at the top of the range
    if (next > 2)
        next = 2;
    QString command;
    if (next == 2) {
        if (state.sweeping == 0)
            next = 0;
        else
            state.sweeping = 0;
        command = Commands::outputOff();
    } else if (next == 1) {
        command = Commands::outputOn();
    }
    state.outputOn = static_cast<int16_t>(next);
    if (!command.isEmpty())
        m_context.link.sendCommand(command);
    m_context.displayAll();
    m_controls.sweepButton->setText(QStringLiteral("Sweep"));
}

void ModulationControl::openTelegraph() {
    if (m_context.state.sweeping != 0)
        return;
    m_controls.openTelegraph();
}
