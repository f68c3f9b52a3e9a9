#include "panel/infopanel.h"

#include "link/devicestate.h"
#include "link/link.h"
#include "link/procedure.h"
#include "panel/infoexchange.h"
#include "widgets/panelcontext.h"
#include "widgets/services.h"

#include <QDialog>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPoint>
#include <QPointer>
#include <QPushButton>

#ifndef KVT_PROGRAM_VERSION
#error "KVT_PROGRAM_VERSION comes from the project version in CMakeLists.txt"
#endif
#ifndef KVT_MAKER_DOMAIN
#error "KVT_MAKER_DOMAIN comes from CMakeLists.txt"
#endif

namespace {
// The factory's service-mode sequence, typed on OK. Lower case only; not for users.
constexpr char16_t ServiceKeySequence[4] = {u'q', u'r', u'f', u'z'};
// Where the panel stands in the window: 240 twips at the program's 12 twips a pixel.
constexpr QPoint PanelOrigin(20, 20);

void setBold(QLabel *label, bool bold) {
    QFont font = label->font();
    font.setBold(bold);
    label->setFont(font);
}
} // namespace

InfoPanel::InfoPanel(const PanelContext &context, Controls controls)
    : QFrame(context.window), m_context(context), m_controls(std::move(controls)),
      m_exchange(new InfoExchange(context, this)) {
    setObjectName(QStringLiteral("infoPanel"));
    setFrameShape(QFrame::Box);
    setLineWidth(2);
    setAutoFillBackground(true);
    setGeometry(QRect(PanelOrigin, m_controls.place.size()));

    auto label = [this](const QString &text, const char *name, QRect at) {
        auto *l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        l->setGeometry(at);
        return l;
    };
    m_titleLabel =
        label(QStringLiteral("KVT System PC Control Panel"), "titleLabel", QRect(10, 4, 250, 20));
    setBold(m_titleLabel, true);
    m_webLabel = label(QStringLiteral("www." KVT_MAKER_DOMAIN), "webLabel", QRect(250, 4, 210, 20));
    m_webLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    const int captionX = 10, valueX = 165, rowY = 28, rowH = 18;
    auto row = [&](int i, const char *captionName, const char *valueName, QLabel **captionLabel,
                   QLabel **valueLabel) {
        *captionLabel = label(QString(), captionName, QRect(captionX, rowY + i * rowH, 150, rowH));
        *valueLabel = label(QString(), valueName, QRect(valueX, rowY + i * rowH, 200, rowH));
    };
    row(0, "modelCaption", "modelValue", &m_modelCaption, &m_modelValue);
    row(1, "serialCaption", "serialValue", &m_serialCaption, &m_serialValue);
    row(2, "dateCaption", "dateValue", &m_dateCaption, &m_dateValue);
    row(3, "firmwareCaption", "firmwareValue", &m_firmwareCaption, &m_firmwareValue);
    row(4, "portCaption", "portValue", &m_portCaption, &m_portValue);
    row(5, "connectionCaption", "connectionValue", &m_connectionCaption, &m_connectionValue);
    m_programVersion = label(QStringLiteral("version ") + QStringLiteral(KVT_PROGRAM_VERSION),
                             "programVersion", QRect(captionX, 140, 200, 20));

    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setObjectName(QStringLiteral("okButton"));
    m_okButton->setGeometry(370, 132, 90, 28);
    m_okButton->setFocusPolicy(Qt::StrongFocus);
    m_okButton->setAutoDefault(true);

    connect(m_okButton, &QPushButton::clicked, this, &QWidget::hide);
    m_okButton->installEventFilter(this);
    m_firmwareCaption->installEventFilter(this);
    m_dateValue->installEventFilter(this);
    // An identity line or a B/T reply arriving while the panel is up (after a firmware
    // update the generator identifies itself anew) shows at once.
    connect(&m_context.link, &Link::replyHandled, this, [this] {
        if (isVisible())
            fillValues();
    });
    connect(m_controls.infoButton, &QPushButton::clicked, this, &InfoPanel::infoClicked);
    retranslate();
    hide();
}

InfoPanel::~InfoPanel() = default;

void InfoPanel::infoClicked() {
    startInfo();
}

void InfoPanel::startInfo() {
    if (m_showing)
        return;
    QPointer<InfoPanel> self(this);
    runProcedure(showInfo(), [self, this](const QString &what) {
        if (self)
            m_context.services.dialogs->message(window(), QStringLiteral("KVT Control Panel"),
                                                QStringLiteral("Reading the device information "
                                                               "failed: ") +
                                                    what);
    });
}

QCoro::Task<> InfoPanel::showInfo() {
    m_showing = true;
    setGeometry(QRect(PanelOrigin, m_controls.place.size()));
    raise();
    // The identity number and the production date are asked anew each time.
    co_await m_exchange->readIdentity();
    m_showing = false;
    // The line went away meanwhile: the panel stays away with it.
    if (!m_context.state.connected)
        co_return;

    fillValues();
    show();
    // The underline marks "Firmware version :" as a double-click target, once the
    // generator has told its identity number.
    QFont font = m_firmwareCaption->font();
    font.setUnderline(m_context.state.deviceId > 0);
    m_firmwareCaption->setFont(font);
    m_okButton->setFocus(Qt::OtherFocusReason);
}

void InfoPanel::fillValues() {
    m_modelValue->setText(m_context.state.modelName);
    m_serialValue->setText(QStringLiteral("TNV") + QString::number(m_context.state.deviceId));
    m_dateValue->setText(m_context.state.productionDate);
    m_firmwareValue->setText(m_context.state.firmwareVersion);
    m_portValue->setText(QStringLiteral("COM") + QString::number(m_context.state.portNumber));
    m_connectionValue->setText(QStringLiteral("115200,n,8,1"));
}

void InfoPanel::serviceKey(const QString &text) {
    if (text.size() != 1)
        return;
    const QChar key = text.at(0);
    if (key == ServiceKeySequence[0]) {
        // Also leaves service mode when it was on; the bold type stays until the
        // program ends.
        m_serviceKeyState = 1;
    } else if (key == ServiceKeySequence[1] && m_serviceKeyState == 1) {
        m_serviceKeyState = 2;
    } else if (key == ServiceKeySequence[2] && m_serviceKeyState == 2) {
        m_serviceKeyState = 3;
    } else if (key == ServiceKeySequence[3] && m_serviceKeyState == 3) {
        m_serviceKeyState = ServiceMode;
        setBold(m_serialValue, true);
        setBold(m_dateValue, true);
    }
}

void InfoPanel::firmwareCaptionDoubleClicked() {
    QDialog *dialog = m_controls.firmwareWindow ? m_controls.firmwareWindow() : nullptr;
    if (!dialog)
        return;
    QPointer<InfoPanel> self(this);
    m_context.services.dialogs->showModal(*dialog);
    // Back from the update: show what is known now (the generator may identify itself
    // with its new version a moment later; the panel follows that too).
    if (self)
        startInfo();
}

void InfoPanel::dateDoubleClicked() {
    if (m_serviceKeyState != ServiceMode)
        return;
    m_exchange->stampToday();
    startInfo();
}

bool InfoPanel::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_okButton && event->type() == QEvent::KeyPress)
        serviceKey(static_cast<QKeyEvent *>(event)->text());
    else if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == m_firmwareCaption) {
            firmwareCaptionDoubleClicked();
            return true;
        }
        if (watched == m_dateValue) {
            dateDoubleClicked();
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void InfoPanel::changeEvent(QEvent *event) {
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QFrame::changeEvent(event);
}

// The captions of the value rows; they have Czech texts.
void InfoPanel::retranslate() {
    m_modelCaption->setText(tr("Device name :"));
    m_serialCaption->setText(tr("Serial number :"));
    m_dateCaption->setText(tr("Date of production :"));
    m_firmwareCaption->setText(tr("Firmware version :"));
    m_portCaption->setText(tr("Serial port :"));
    m_connectionCaption->setText(tr("Connection :"));
}
