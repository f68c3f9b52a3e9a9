// The radiotelegraph frame: Morse text keyed by the generator.
#include "link/link.h"
#include "link/numbers.h"
#include "panel/form1.h"
#include "panel/lamp.h"
#include "presets/frame2.h"
#include "presets/presetrecord.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

namespace {
// The Send procedure: the box shows its text in capitals from now on, and the line
// goes out with the element length of the speed shown beside the slider.
void sendTelegraph(Frame2 &frame, Link &link, DeviceState &state) {
    frame.Text3->setText(frame.Text3->text().toUpper());
    const int speed = Numbers::toInt16(Numbers::leadingValue(frame.Label34->text())).value_or(1);
    link.SendCommand(Presets::telegraphLine(speed, frame.Text3->text()));
    state.TelegraphBusy = -1;
}
} // namespace

void Form1::connectRadiotelegraph() {
    Frame2 *frame = m_frame2;
    connect(frame->Command15, &QPushButton::clicked, this,
            [this] { sendTelegraph(*m_frame2, *m_link, m_state); });
    // Enter sends; the line edit inserts nothing for it.
    connect(frame->Text3, &QLineEdit::returnPressed, this,
            [this] { sendTelegraph(*m_frame2, *m_link, m_state); });
    connect(frame->HScroll1, &QScrollBar::valueChanged, this, [this](int value) {
        m_frame2->Label34->setText(QString::number(value));
        m_state.TelegraphSpeed = static_cast<int16_t>(value);
    });
    connect(frame->Command14, &QPushButton::clicked, this, [this] {
        m_frame2->Check1->setChecked(false);
        m_frame2->hide();
        Label1->show();
        Label2->show();
        m_link->SendCommand(QStringLiteral("1"));
        DisplayAll();
    });
}

void Form1::Timer4_Tick() {
    // Runs every second, whether the frame is shown or not. While the generator keys,
    // the frame cannot be closed; with Repeat ticked the text goes out again on the
    // first tick after the generator reported the end of the keying.
    m_frame2->Command14->setEnabled(m_state.TelegraphBusy == 0);
    if (m_state.TelegraphBusy == 0 && m_frame2->Check1->isChecked())
        sendTelegraph(*m_frame2, *m_link, m_state);
}
