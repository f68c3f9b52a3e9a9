// Modulation and output control: AM Mode, STOP and CW.
#include "panel/mainwindow.h"

#include "link/link.h"
#include "panel/lamp.h"
#include "presets/telegraphpanel.h"

#include <QLineEdit>
#include <QPushButton>

#include <limits>

void MainWindow::connectModulation() {
    connect(amModeButton, &QPushButton::clicked, this, &MainWindow::amModeClicked);
    connect(stopButton, &QPushButton::clicked, this, &MainWindow::stopClicked);
    connect(cwButton, &QPushButton::clicked, this, &MainWindow::cwClicked);
    // Enter on a focused button presses it, as Space does.
    for (QPushButton *b : {amModeButton, stopButton, cwButton})
        b->setAutoDefault(true);
}

void MainWindow::amModeClicked() {
    // none -> still -> beep -> trill -> none. Counted in int so that a value the
    // generator reported at the top of the 16-bit range steps to 0 instead of
    // overflowing.
    m_state.activePreset = 0;
    int next = m_state.modMode + 1;
    if (next == 4 || next > std::numeric_limits<int16_t>::max())
        next = 0;
    m_state.modMode = static_cast<int16_t>(next);
    m_link->sendCommand(QStringLiteral("M") + QString::number(m_state.modMode));
    displayAll();
}

void MainWindow::stopClicked() {
    // Output off -> on -> off; during a sweep the first press only ends the sweep and
    // leaves the output regarded as on (2).
    int next = m_state.outputOn + 1; // int: no overflow at the top of the range
    if (next > 2)
        next = 2;
    QString command;
    if (next == 2) {
        if (m_state.sweeping == 0)
            next = 0;
        else
            m_state.sweeping = 0;
        command = QStringLiteral("0");
    } else if (next == 1) {
        command = QStringLiteral("1");
    }
    m_state.outputOn = static_cast<int16_t>(next);
    if (!command.isEmpty())
        m_link->sendCommand(command);
    displayAll();
    sweepButton->setText(QStringLiteral("Sweep"));
}

void MainWindow::cwClicked() {
    if (m_state.sweeping != 0)
        return;
    m_link->sendCommand(QStringLiteral("0")); // output off while the frame is open
    carrierReadout->hide();
    modulationReadout->hide();
    // The frame takes the display window's place; its own Close brings the panel back.
    m_telegraphPanel->move(displayWindow->pos());
    m_telegraphPanel->show();
    m_telegraphPanel->raise();
    m_telegraphPanel->textEntry->setFocus();
}
