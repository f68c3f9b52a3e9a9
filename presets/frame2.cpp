#include "presets/frame2.h"

#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

Frame2::Frame2(QWidget *parent) : QFrame(parent) {
    setObjectName(QStringLiteral("Frame2"));
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
    Label36 = new QLabel(QStringLiteral("RADIOTELEGRAPH"), this);
    named(Label36, "Label36");
    QFont bold = Label36->font();
    bold.setBold(true);
    Label36->setFont(bold);
    Label36->setGeometry(10, 6, 300, 20);

    Label35 = new QLabel(QStringLiteral("Text      :"), this);
    named(Label35, "Label35");
    Label35->setGeometry(10, 36, 70, 24);
    Text3 = new QLineEdit(QStringLiteral("THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG"), this);
    named(Text3, "Text3");
    Text3->setGeometry(80, 36, 380, 24);
    Text3->installEventFilter(this);

    Label33 = new QLabel(QStringLiteral("Speed :"), this);
    named(Label33, "Label33");
    Label33->setGeometry(10, 72, 70, 24);
    HScroll1 = new QScrollBar(Qt::Horizontal, this);
    named(HScroll1, "HScroll1");
    HScroll1->setRange(1, 300);
    HScroll1->setSingleStep(1);
    HScroll1->setPageStep(10);
    HScroll1->setValue(100);
    HScroll1->setGeometry(80, 74, 300, 20);
    Label34 = new QLabel(QStringLiteral("100"), this);
    named(Label34, "Label34");
    Label34->setGeometry(390, 72, 60, 24);

    Check1 = new QCheckBox(QStringLiteral("Repeat"), this);
    named(Check1, "Check1");
    Check1->setGeometry(10, 110, 120, 24);
    Command15 = new QPushButton(QStringLiteral("Send"), this);
    named(Command15, "Command15");
    Command15->setGeometry(260, 108, 95, 28);
    Command14 = new QPushButton(QStringLiteral("Close"), this);
    named(Command14, "Command14");
    Command14->setGeometry(365, 108, 95, 28);
    hide();
}

bool Frame2::eventFilter(QObject *watched, QEvent *event) {
    if (watched == Text3 && event->type() == QEvent::MouseButtonRelease) {
        // The box first handles the click itself (cursor, drag timer); the selection
        // is made right after, so nothing of the click undoes it.
        QMetaObject::invokeMethod(
            this,
            [this] {
                const qsizetype length = std::min<qsizetype>(Text3->text().size(), 1000);
                Text3->setSelection(0, static_cast<int>(length));
            },
            Qt::QueuedConnection);
    }
    return QFrame::eventFilter(watched, event);
}
