#include "link/connectionfailuredialog.h"

#include "link/devicestate.h"

#include <QEvent>
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

ConnectionFailureDialog::ConnectionFailureDialog(DeviceState &state, QWidget *parent)
    : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("ConnectionFailureDialog"));
    setWindowTitle(tr("KVT Connection"));
    setModal(true);

    headingLabel = new QLabel(tr("Communication error !"), this);
    headingLabel->setObjectName(QStringLiteral("headingLabel"));
    QFont heading = headingLabel->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.3);
    headingLabel->setFont(heading);

    adviceLabel =
        new QLabel(tr("Here is not any COM port with KVT unit connected. Please check right "
                      "connection, or check Windows Control Panels console (hardware "
                      "management)..."),
                   this);
    adviceLabel->setObjectName(QStringLiteral("adviceLabel"));
    adviceLabel->setWordWrap(true);

    cableImage = new QLabel(this);
    cableImage->setObjectName(QStringLiteral("cableImage"));
    cableImage->setPixmap(unpluggedPicture());

    portProblemsLabel = new QLabel(this);
    portProblemsLabel->setObjectName(QStringLiteral("portProblemsLabel"));
    portProblemsLabel->setWordWrap(true);
    portProblemsLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    portProblemsLabel->hide();

    retryButton = new QPushButton(tr("Retry"), this);
    retryButton->setObjectName(QStringLiteral("retryButton"));
    retryButton->setDefault(true);
    exitButton = new QPushButton(tr("Exit"), this);
    exitButton->setObjectName(QStringLiteral("exitButton"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(cableImage, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(headingLabel, 0, 1);
    grid->addWidget(adviceLabel, 1, 1);
    grid->addWidget(portProblemsLabel, 2, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(retryButton);
    buttons->addWidget(exitButton);
    grid->addLayout(buttons, 3, 0, 1, 2);
    setMinimumWidth(460);

    connect(retryButton, &QPushButton::clicked, this, [this] {
        m_state.retryChoice = 1;
        hide();
    });
    connect(exitButton, &QPushButton::clicked, this, [this] {
        m_state.retryChoice = 0;
        hide();
    });
}

void ConnectionFailureDialog::changeEvent(QEvent *event) {
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}

// The window's captions that have a Czech text.
void ConnectionFailureDialog::retranslate() {
    headingLabel->setText(tr("Communication error !"));
    adviceLabel->setText(tr("Here is not any COM port with KVT unit connected. Please check right "
                            "connection, or check Windows Control Panels console (hardware "
                            "management)..."));
    retryButton->setText(tr("Retry"));
    exitButton->setText(tr("Exit"));
}

void ConnectionFailureDialog::setPortProblems(const QStringList &problems) {
    if (problems.isEmpty()) {
        portProblemsLabel->clear();
        portProblemsLabel->hide();
        return;
    }
    portProblemsLabel->setText(QStringLiteral("Ports found but not usable:\n") +
                               problems.join(u'\n'));
    portProblemsLabel->show();
}
