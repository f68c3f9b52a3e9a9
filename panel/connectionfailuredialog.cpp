#include "panel/connectionfailuredialog.h"

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

ConnectionFailureDialog::ConnectionFailureDialog(QWidget *parent, Platform platform)
    : QDialog(parent), m_platform(platform) {
    setObjectName(QStringLiteral("ConnectionFailureDialog"));
    setModal(true);

    m_headingLabel = new QLabel(this);
    m_headingLabel->setObjectName(QStringLiteral("headingLabel"));
    QFont heading = m_headingLabel->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.3);
    m_headingLabel->setFont(heading);

    m_adviceLabel = new QLabel(this);
    m_adviceLabel->setObjectName(QStringLiteral("adviceLabel"));
    m_adviceLabel->setWordWrap(true);

    m_cableImage = new QLabel(this);
    m_cableImage->setObjectName(QStringLiteral("cableImage"));
    m_cableImage->setPixmap(unpluggedPicture());

    m_portProblemsLabel = new QLabel(this);
    m_portProblemsLabel->setObjectName(QStringLiteral("portProblemsLabel"));
    m_portProblemsLabel->setWordWrap(true);
    m_portProblemsLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_portProblemsLabel->hide();

    m_retryButton = new QPushButton(this);
    m_retryButton->setObjectName(QStringLiteral("retryButton"));
    m_retryButton->setDefault(true);
    m_exitButton = new QPushButton(this);
    m_exitButton->setObjectName(QStringLiteral("exitButton"));
    m_recoverButton = new QPushButton(this);
    m_recoverButton->setObjectName(QStringLiteral("recoverButton"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(m_cableImage, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(m_headingLabel, 0, 1);
    grid->addWidget(m_adviceLabel, 1, 1);
    grid->addWidget(m_portProblemsLabel, 2, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_recoverButton);
    buttons->addStretch();
    buttons->addWidget(m_retryButton);
    buttons->addWidget(m_exitButton);
    grid->addLayout(buttons, 3, 0, 1, 2);
    setMinimumWidth(460);

    connect(m_retryButton, &QPushButton::clicked, this, &ConnectionFailureDialog::retry);
    connect(m_recoverButton, &QPushButton::clicked, this,
            &ConnectionFailureDialog::recoverRequested);
    connect(m_exitButton, &QPushButton::clicked, this, [this] {
        m_retry = false;
        hide();
    });
    retranslate();
}

void ConnectionFailureDialog::changeEvent(QEvent *event) {
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}

// The window's captions; all but the title have a Czech text.
void ConnectionFailureDialog::retranslate() {
    setWindowTitle(tr("KVT Connection"));
    m_headingLabel->setText(tr("Communication error !"));
    m_adviceLabel->setText(
        tr("Here is not any COM port with KVT unit connected. Please check right "
           "connection, or check Windows Control Panels console (hardware "
           "management)..."));
    m_retryButton->setText(tr("Retry"));
    m_exitButton->setText(tr("Exit"));
    m_recoverButton->setText(tr("Recover firmware..."));
    showPortProblems();
}

void ConnectionFailureDialog::retry() {
    m_retry = true;
    hide();
}

void ConnectionFailureDialog::setRecoveryPossible(bool possible) {
    m_recoverButton->setEnabled(possible);
}

void ConnectionFailureDialog::setSearchedPorts(const SearchedPorts &searched) {
    m_searched = searched;
    showPortProblems();
}

void ConnectionFailureDialog::setPortProblems(const QStringList &problems, bool anyPortFound) {
    m_portProblems = problems;
    m_anyPortFound = anyPortFound;
    showPortProblems();
}

// The program's own list below the window's fixed texts (ConnectionTexts): the port
// numbers tried, the ports among them that exist but could not be used, where Retry
// starts and, on Linux, what to look at when the adapter is not among the ports.
void ConnectionFailureDialog::showPortProblems() {
    const QStringList lines =
        ConnectionTexts::searchLines(m_searched, m_portProblems, m_anyPortFound, m_platform);
    m_portProblemsLabel->setText(lines.join(u'\n'));
    m_portProblemsLabel->setVisible(!lines.isEmpty());
}

void ConnectionFailureDialog::showEvent(QShowEvent *event) {
    m_retry = false; // only a click on Retry retries
    QDialog::showEvent(event);
}
