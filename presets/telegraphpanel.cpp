#include "presets/telegraphpanel.h"

#include "link/entryguard.h"

#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

TelegraphPanel::TelegraphPanel(QWidget *parent) : QFrame(parent) {
    setObjectName(QStringLiteral("TelegraphPanel"));
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
    titleLabel = new QLabel(QStringLiteral("RADIOTELEGRAPH"), this);
    named(titleLabel, "titleLabel");
    QFont bold = titleLabel->font();
    bold.setBold(true);
    titleLabel->setFont(bold);
    titleLabel->setGeometry(10, 6, 300, 20);

    textLabel = new QLabel(QStringLiteral("Text      :"), this);
    named(textLabel, "textLabel");
    textLabel->setGeometry(10, 36, 70, 24);
    textEntry = new QLineEdit(QStringLiteral("THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG"), this);
    named(textEntry, "textEntry");
    textEntry->setGeometry(80, 36, 380, 24);
    textEntry->installEventFilter(this);
    guardEntry(textEntry);

    speedLabel = new QLabel(QStringLiteral("Speed :"), this);
    named(speedLabel, "speedLabel");
    speedLabel->setGeometry(10, 72, 70, 24);
    speedSlider = new QScrollBar(Qt::Horizontal, this);
    named(speedSlider, "speedSlider");
    speedSlider->setRange(1, 300);
    speedSlider->setSingleStep(1);
    speedSlider->setPageStep(10);
    speedSlider->setValue(100);
    speedSlider->setGeometry(80, 74, 300, 20);
    speedValueLabel = new QLabel(QStringLiteral("100"), this);
    named(speedValueLabel, "speedValueLabel");
    speedValueLabel->setGeometry(390, 72, 60, 24);

    repeatBox = new QCheckBox(QStringLiteral("Repeat"), this);
    named(repeatBox, "repeatBox");
    repeatBox->setGeometry(10, 110, 120, 24);
    sendButton = new QPushButton(QStringLiteral("Send"), this);
    named(sendButton, "sendButton");
    sendButton->setGeometry(260, 108, 95, 28);
    closeButton = new QPushButton(QStringLiteral("Close"), this);
    named(closeButton, "closeButton");
    closeButton->setGeometry(365, 108, 95, 28);
    hide();
}

bool TelegraphPanel::eventFilter(QObject *watched, QEvent *event) {
    if (watched == textEntry && event->type() == QEvent::MouseButtonRelease) {
        // The box first handles the click itself (cursor, drag timer); the selection
        // is made right after, so nothing of the click undoes it.
        QMetaObject::invokeMethod(
            this,
            [this] {
                const qsizetype length = std::min<qsizetype>(textEntry->text().size(), 1000);
                textEntry->setSelection(0, static_cast<int>(length));
            },
            Qt::QueuedConnection);
    }
    return QFrame::eventFilter(watched, event);
}
