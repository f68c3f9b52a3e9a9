#include "presets/telegraphpanel.h"

#include "instrument/instrument.h"
#include "link/devicestate.h"
#include "link/timesource.h"
#include "widgets/entryguard.h"
#include "widgets/panelcontext.h"
#include "widgets/services.h"

#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

TelegraphPanel::TelegraphPanel(const PanelContext &context, Controls controls)
    : QFrame(context.window), m_context(context), m_controls(controls),
      m_repeatTimer(
          std::make_unique<Ticker>(*context.services.time, 1000, [this] { repeatTick(); })) {
    setObjectName(QStringLiteral("telegraphPanel"));
    setGeometry(m_controls.place);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xc0, 0xc0, 0xc0));
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setFrameShape(QFrame::Box);

    auto named = [](QWidget *w, const char *name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };
    m_titleLabel = new QLabel(this);
    named(m_titleLabel, "titleLabel");
    QFont bold = m_titleLabel->font();
    bold.setBold(true);
    m_titleLabel->setFont(bold);
    m_titleLabel->setGeometry(10, 6, 300, 20);

    m_textLabel = new QLabel(this);
    named(m_textLabel, "textLabel");
    m_textLabel->setGeometry(10, 36, 70, 24);
    m_textEntry =
        new QLineEdit(QStringLiteral("THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG"), this);
    named(m_textEntry, "textEntry");
    m_textEntry->setGeometry(80, 36, 380, 24);
    m_textEntry->installEventFilter(this);
    guardEntry(m_textEntry);

    m_speedLabel = new QLabel(this);
    named(m_speedLabel, "speedLabel");
    m_speedLabel->setGeometry(10, 72, 70, 24);
    m_speedSlider = new QScrollBar(Qt::Horizontal, this);
    named(m_speedSlider, "speedSlider");
    m_speedSlider->setRange(1, 300);
    m_speedSlider->setSingleStep(1);
    m_speedSlider->setPageStep(10);
    m_speedSlider->setValue(100);
    m_speedSlider->setGeometry(80, 74, 300, 20);
    m_speedValueLabel = new QLabel(QStringLiteral("100"), this);
    named(m_speedValueLabel, "speedValueLabel");
    m_speedValueLabel->setGeometry(390, 72, 60, 24);

    m_repeatBox = new QCheckBox(this);
    named(m_repeatBox, "repeatBox");
    m_repeatBox->setGeometry(10, 110, 120, 24);
    m_sendButton = new QPushButton(this);
    named(m_sendButton, "sendButton");
    m_sendButton->setGeometry(260, 108, 95, 28);
    m_closeButton = new QPushButton(this);
    named(m_closeButton, "closeButton");
    m_closeButton->setGeometry(365, 108, 95, 28);
    retranslate();
    hide();

    connect(m_sendButton, &QPushButton::clicked, this, &TelegraphPanel::send);
    // Enter sends; the line edit inserts nothing for it.
    connect(m_textEntry, &QLineEdit::returnPressed, this, &TelegraphPanel::send);
    connect(m_speedSlider, &QScrollBar::valueChanged, this, [this](int value) {
        m_speedValueLabel->setText(QString::number(value));
        m_context.instrument.setMorseSpeed(value); // the slider holds 1-300 only
    });
    connect(m_closeButton, &QPushButton::clicked, this, [this] {
        m_repeatBox->setChecked(false);
        hide();
        m_context.instrument.closeTelegraphFrame();
        Q_EMIT closed();
    });
    m_repeatTimer->setEnabled(true);
}

TelegraphPanel::~TelegraphPanel() = default;

int TelegraphPanel::speed() const {
    return m_speedSlider->value();
}

void TelegraphPanel::setSpeed(int speed) {
    m_speedSlider->setValue(speed);
}

void TelegraphPanel::open() {
    m_context.instrument.openTelegraphFrame(); // output off while the frame is open
    setGeometry(m_controls.place);
    show();
    raise();
    m_textEntry->setFocus();
}

void TelegraphPanel::stopKeying() {
    m_repeatBox->setChecked(false);
    m_context.instrument.forgetKeying();
    m_closeButton->setEnabled(true);
    if (isVisible()) {
        hide();
        Q_EMIT closed();
    }
}

void TelegraphPanel::send() {
    // The box shows its text in capitals from now on, and the line goes out with the
    // element length of the speed shown beside the slider (the Instrument's). A second
    // Send while the generator keys gives it the text anew.
    m_textEntry->setText(m_textEntry->text().toUpper());
    m_context.instrument.keyMorse(m_textEntry->text(), Instrument::WhileKeying::SendAgain);
}

void TelegraphPanel::repeatTick() {
    // Runs every second, whether the frame is shown or not. While the generator keys,
    // the frame cannot be closed; with Repeat ticked the text goes out again on the
    // first tick after the generator reported the end of the keying.
    m_closeButton->setEnabled(!m_context.instrument.keying());
    if (!m_context.instrument.keying() && m_repeatBox->isChecked())
        send();
}

bool TelegraphPanel::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_textEntry && event->type() == QEvent::MouseButtonRelease) {
        // The box first handles the click itself (cursor, drag timer); the selection
        // is made right after, so nothing of the click undoes it.
        QMetaObject::invokeMethod(
            this,
            [this] {
                const qsizetype length = std::min<qsizetype>(m_textEntry->text().size(), 1000);
                m_textEntry->setSelection(0, static_cast<int>(length));
            },
            Qt::QueuedConnection);
    }
    return QFrame::eventFilter(watched, event);
}

void TelegraphPanel::changeEvent(QEvent *event) {
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QFrame::changeEvent(event);
}

// The frame's captions; all but the title and the text box's have a Czech text.
void TelegraphPanel::retranslate() {
    m_titleLabel->setText(tr("RADIOTELEGRAPH"));
    m_textLabel->setText(tr("Text      :"));
    m_speedLabel->setText(tr("Speed :"));
    m_repeatBox->setText(tr("Repeat"));
    m_sendButton->setText(tr("Send"));
    m_closeButton->setText(tr("Close"));
}
