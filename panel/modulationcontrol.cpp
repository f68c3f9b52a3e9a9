#include "panel/modulationcontrol.h"

#include "instrument/instrument.h"
#include "link/devicestate.h"
#include "widgets/panelcontext.h"

#include <QPushButton>

ModulationControl::ModulationControl(const PanelContext &context, Controls controls,
                                     QObject *parent)
    : QObject(parent), m_context(context), m_controls(std::move(controls)) {
    connect(m_controls.amModeButton, &QPushButton::clicked, this,
            &ModulationControl::nextModulationKind);
    connect(m_controls.stopButton, &QPushButton::clicked, this, &ModulationControl::stop);
    connect(m_controls.cwButton, &QPushButton::clicked, this, &ModulationControl::openTelegraph);
}

void ModulationControl::nextModulationKind() {
    m_context.instrument.nextModulationKind();
}

void ModulationControl::stop() {
    m_context.instrument.pressStop();
    Q_EMIT stopPressed();
}

void ModulationControl::openTelegraph() {
    if (m_context.state.sweeping)
        return;
    m_controls.openTelegraph();
}
