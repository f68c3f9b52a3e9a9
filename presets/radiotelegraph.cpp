// The radiotelegraph frame: Morse text keyed by the generator.
#include "link/link.h"
#include "link/numbers.h"
#include "panel/lamp.h"
#include "panel/mainwindow.h"
#include "presets/presetrecord.h"
#include "presets/telegraphpanel.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

namespace {
// The Send procedure: the box shows its text in capitals from now on, and the line
// goes out with the element length of the speed shown beside the slider.
void sendTelegraph(TelegraphPanel &frame, Link &link, DeviceState &state) {
    frame.textEntry->setText(frame.textEntry->text().toUpper());
    const int speed =
        Numbers::toInt16(Numbers::leadingValue(frame.speedValueLabel->text())).value_or(1);
    link.sendCommand(Presets::telegraphLine(speed, frame.textEntry->text()));
    state.telegraphBusy = -1;
}
} // namespace

void MainWindow::connectRadiotelegraph() {
    TelegraphPanel *frame = m_telegraphPanel;
    connect(frame->sendButton, &QPushButton::clicked, this,
            [this] { sendTelegraph(*m_telegraphPanel, *m_link, m_state); });
    // Enter sends; the line edit inserts nothing for it.
    connect(frame->textEntry, &QLineEdit::returnPressed, this,
            [this] { sendTelegraph(*m_telegraphPanel, *m_link, m_state); });
    connect(frame->speedSlider, &QScrollBar::valueChanged, this, [this](int value) {
        m_telegraphPanel->speedValueLabel->setText(QString::number(value));
        m_state.telegraphSpeed = static_cast<int16_t>(value);
    });
    connect(frame->closeButton, &QPushButton::clicked, this, [this] {
        m_telegraphPanel->repeatBox->setChecked(false);
        m_telegraphPanel->hide();
        carrierReadout->show();
        modulationReadout->show();
        m_link->sendCommand(QStringLiteral("1"));
        displayAll();
    });
}

void MainWindow::repeatTick() {
    // Runs every second, whether the frame is shown or not. While the generator keys,
    // the frame cannot be closed; with Repeat ticked the text goes out again on the
    // first tick after the generator reported the end of the keying.
    m_telegraphPanel->closeButton->setEnabled(m_state.telegraphBusy == 0);
    if (m_state.telegraphBusy == 0 && m_telegraphPanel->repeatBox->isChecked())
        sendTelegraph(*m_telegraphPanel, *m_link, m_state);
}
