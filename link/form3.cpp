#include "link/form3.h"

#include "link/devicestate.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

namespace {
// A serial plug with its cable cut: drawn, so the window needs no image file.
QPixmap unpluggedPicture() {
    QPixmap pixmap(72, 72);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::darkGray, 3));
    p.setBrush(QColor(0xd0, 0xd0, 0xd0));
    p.drawRoundedRect(8, 22, 26, 28, 4, 4);
    p.drawLine(34, 36, 44, 36);
    p.setPen(QPen(Qt::red, 4));
    p.drawLine(48, 24, 64, 48);
    p.drawLine(64, 24, 48, 48);
    return pixmap;
}
} // namespace

Form3::Form3(DeviceState &state, QWidget *parent) : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("KVT Connection"));
    setModal(true);

    Label1 = new QLabel(QStringLiteral("Communication error !"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont heading = Label1->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.3);
    Label1->setFont(heading);

    Label2 = new QLabel(QStringLiteral("Here is not any COM port with KVT unit connected. Please "
                                       "check right connection, or check Windows Control Panels "
                                       "console (hardware management)..."),
                        this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setWordWrap(true);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(unpluggedPicture());

    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setWordWrap(true);
    Label3->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label3->hide();

    Command1 = new QPushButton(QStringLiteral("Retry"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    Command2 = new QPushButton(QStringLiteral("Exit"), this);
    Command2->setObjectName(QStringLiteral("Command2"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(Image1, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(Label1, 0, 1);
    grid->addWidget(Label2, 1, 1);
    grid->addWidget(Label3, 2, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    grid->addLayout(buttons, 3, 0, 1, 2);
    setMinimumWidth(460);

    connect(Command1, &QPushButton::clicked, this, [this] {
        m_state.RetryChoice = 1;
        hide();
    });
    connect(Command2, &QPushButton::clicked, this, [this] {
        m_state.RetryChoice = 0;
        hide();
    });
}

void Form3::setPortProblems(const QStringList &problems) {
    if (problems.isEmpty()) {
        Label3->clear();
        Label3->hide();
        return;
    }
    Label3->setText(QStringLiteral("Ports found but not usable:\n") + problems.join(u'\n'));
    Label3->show();
}
