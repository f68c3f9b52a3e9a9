// Modulation and output control: AM Mode, STOP and CW.
#include "panel/form1.h"

#include "link/link.h"
#include "panel/lamp.h"
#include "presets/frame2.h"

#include <QLineEdit>
#include <QPushButton>

#include <limits>

void Form1::connectModulation() {
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Command6, &QPushButton::clicked, this, &Form1::Command6_Click);
    connect(Command11, &QPushButton::clicked, this, &Form1::Command11_Click);
    // Enter on a focused button presses it, as Space does.
    for (QPushButton *b : {Command4, Command6, Command11})
        b->setAutoDefault(true);
}

void Form1::Command4_Click() {
    // none -> still -> beep -> trill -> none. Counted in int so that a value the
    // generator reported at the top of the 16-bit range steps to 0 instead of
    // overflowing.
    m_state.ActivePreset = 0;
    int next = m_state.ModMode + 1;
    if (next == 4 || next > std::numeric_limits<int16_t>::max())
        next = 0;
    m_state.ModMode = static_cast<int16_t>(next);
    m_link->SendCommand(QStringLiteral("M") + QString::number(m_state.ModMode));
    DisplayAll();
}

void Form1::Command6_Click() {
    // Output off -> on -> off; during a sweep the first press only ends the sweep and
    // leaves the output regarded as on (2).
    int next = m_state.OutputOn + 1; // int: no overflow at the top of the range
    if (next > 2)
        next = 2;
    QString command;
    if (next == 2) {
        if (m_state.Sweeping == 0)
            next = 0;
        else
            m_state.Sweeping = 0;
        command = QStringLiteral("0");
    } else if (next == 1) {
        command = QStringLiteral("1");
    }
    m_state.OutputOn = static_cast<int16_t>(next);
    if (!command.isEmpty())
        m_link->SendCommand(command);
    DisplayAll();
    Command5->setText(QStringLiteral("Sweep"));
}

void Form1::Command11_Click() {
    if (m_state.Sweeping != 0)
        return;
    m_link->SendCommand(QStringLiteral("0")); // output off while the frame is open
    Label1->hide();
    Label2->hide();
    // The frame takes the display window's place; its own Close brings the panel back.
    m_frame2->move(Shape1->pos());
    m_frame2->show();
    m_frame2->raise();
    m_frame2->Text3->setFocus();
}
