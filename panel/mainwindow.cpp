#include "panel/mainwindow.h"

#include "link/connectionfailuredialog.h"
#include "link/link.h"
#include "link/polling.h"
#include "link/procedure.h"
#include "link/serialport.h"
#include "link/settingsfile.h"
#include "link/timesource.h"
#include "link/waits.h"
#include "panel/lamp.h"
#include "panel/panelview.h"
#include "presets/presetswindow.h"
#include "presets/telegraphpanel.h"
#include "setup/setupdialog.h"
#include "setup/setupexchange.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

namespace {
// The panel is drawn in twips as the instrument drawing gives them; 12 twips to a
// pixel keeps the compact panel readable on today's screens.
constexpr int px(int twips) {
    return twips / 12;
}
constexpr int PanelWidth = 780;

const QColor DisplayBackground(0x0b, 0x10, 0x14);
const QColor DisplayDigits(0xff, 0xb4, 0x28);

// The poll as the subsystems see it: the panel's poll timer and readParams.
class PanelPolling final : public Polling {
public:
    PanelPolling(Ticker &timer, MainWindow &window) : m_timer(timer), m_window(window) {}
    void setPollingEnabled(bool on) override { m_timer.setEnabled(on); }
    bool pollingEnabled() const override { return m_timer.isEnabled(); }
    QCoro::Task<> readParams() override { return m_window.readParams(); }

private:
    Ticker &m_timer;
    MainWindow &m_window;
};
} // namespace

int MainWindow::collapsedHeight() {
    return px(2700);
}
int MainWindow::expandedHeight() {
    return px(3660);
}

MainWindow::MainWindow(const Services &services, QWidget *parent)
    : QWidget(parent), m_services(services) {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(tr("KVT Control Panel"));
    m_link = std::make_unique<Link>(m_state, *m_services.port, *m_services.time);
    m_scanWaits = std::make_unique<WaitSet>(*m_services.time);
    m_pollTimer = std::make_unique<Ticker>(*m_services.time, 1000, [this] { pollTick(); });
    m_scanTimer = std::make_unique<Ticker>(*m_services.time, 1000, [this] { scanTick(); });
    m_repeatTimer = std::make_unique<Ticker>(*m_services.time, 1000, [this] { repeatTick(); });

    buildPanel();

    connect(m_link.get(), &Link::replyHandled, this, &MainWindow::applyReply);
    connect(m_link.get(), &Link::portLost, this, [this] {
        // The adapter was unplugged: the line is gone, so the Ready lamp goes dark.
        // There is no reconnection; commands are dropped from now on.
        readyLamp->setLit(false);
    });
    connect(powerButton, &QPushButton::clicked, this, &MainWindow::powerClicked);
    connectTuning();
    connectModulation();
    connectSweep();
    connectPresets();
    connectRadiotelegraph();

    // Setup: the Config button runs the setup exchange.
    m_polling = std::make_unique<PanelPolling>(*m_pollTimer, *this);
    m_setupExchange =
        std::make_unique<SetupExchange>(*m_link, m_state, *m_polling, m_services, *this);
    connect(configButton, &QPushButton::clicked, this, [this] {
        runProcedure(m_setupExchange->run(),
                     [self = QPointer<MainWindow>(this)](const QString &what) {
                         if (self)
                             self->m_services.dialogs->message(
                                 self, QStringLiteral("KVT"),
                                 QStringLiteral("The setup exchange failed: ") + what);
                     });
    });

    m_scanTimer->setEnabled(true);
    m_repeatTimer->setEnabled(true);
}

MainWindow::~MainWindow() {
    m_ending = true;
    // Waiting procedures stop without touching the window.
    m_scanWaits->cancelAll();
    m_link->waits().cancelAll();
    m_pollTimer.reset();
    m_scanTimer.reset();
    m_repeatTimer.reset();
    m_link->closePort();
    delete m_searchWindow;
}

void MainWindow::buildPanel() {
    auto named = [](auto *w, const char *name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };
    auto label = [&](const QString &text, const char *name, QWidget *parent, QRect geometry) {
        auto *l = named(new QLabel(text, parent), name);
        l->setGeometry(geometry);
        return l;
    };
    auto button = [&](const QString &text, const char *name, QRect geometry) {
        auto *b = named(new QPushButton(text, this), name);
        b->setGeometry(geometry);
        b->setFocusPolicy(Qt::StrongFocus);
        b->setAutoDefault(true); // Enter on the focused button presses it
        return b;
    };

    setFixedSize(PanelWidth, collapsedHeight());

    // The dark display window with its readouts.
    displayWindow = named(new QFrame(this), "displayWindow");
    displayWindow->setGeometry(10, 10, 470, 170);
    displayWindow->setFrameShape(QFrame::Box);
    displayWindow->setLineWidth(2);
    displayWindow->setAutoFillBackground(true);
    QPalette display = displayWindow->palette();
    display.setColor(QPalette::Window, DisplayBackground);
    display.setColor(QPalette::WindowText, DisplayDigits);
    displayWindow->setPalette(display);

    QFont sans(QStringLiteral("Sans Serif"));
    sans.setStyleHint(QFont::SansSerif);
    QFont large = sans;
    large.setPixelSize(54);
    large.setBold(true);
    QFont medium = sans;
    medium.setPixelSize(28);
    medium.setBold(true);
    QFont small = sans;
    small.setPixelSize(15);
    small.setBold(true);

    // The two readouts open their dialogs on a click.
    auto readout = [&](const QString &text, const char *name, QRect geometry, const QFont &font,
                       const QString &tip) {
        auto *l = named(new ClickLabel(text, displayWindow), name);
        l->setGeometry(geometry);
        l->setFont(font);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setCursor(Qt::PointingHandCursor);
        l->setToolTip(tip);
        return l;
    };
    carrierReadout = readout(QStringLiteral("65.000.000"), "carrierReadout", QRect(10, 10, 390, 70),
                             large, QStringLiteral("Click to set the carrier frequency"));
    carrierUnitLabel = label(tr("Hz"), "carrierUnitLabel", displayWindow, QRect(408, 40, 50, 30));
    carrierUnitLabel->setFont(medium);
    modulationPrefixLabel =
        label(tr("AM :"), "modulationPrefixLabel", displayWindow, QRect(14, 90, 76, 34));
    modulationPrefixLabel->setFont(medium);
    modulationReadout = readout(QStringLiteral("..."), "modulationReadout", QRect(90, 88, 110, 38),
                                medium, QStringLiteral("Click to set the modulation frequency"));
    modulationUnitLabel =
        label(tr("Hz"), "modulationUnitLabel", displayWindow, QRect(206, 90, 44, 34));
    modulationUnitLabel->setFont(medium);
    modeLine = label(QStringLiteral("MAN"), "modeLine", displayWindow, QRect(300, 92, 150, 30));
    modeLine->setFont(medium);
    modeLine->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    modKindLine = label(QString(), "modKindLine", displayWindow, QRect(14, 136, 200, 24));
    modKindLine->setFont(small);
    stepLine =
        label(QStringLiteral("Step : 100kHz"), "stepLine", displayWindow, QRect(250, 136, 200, 24));
    stepLine->setFont(small);
    stepLine->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // Heading, model and lamps to the right of the display.
    headingLabel = label(tr("PC Control panel"), "headingLabel", this, QRect(495, 6, 270, 22));
    QFont headingFont = sans;
    headingFont.setPixelSize(16);
    headingFont.setBold(true);
    headingLabel->setFont(headingFont);
    modelLabel = label(QStringLiteral("KVT 10"), "modelLabel", this, QRect(495, 28, 120, 26));
    QFont modelFont = sans;
    modelFont.setPixelSize(22);
    modelFont.setBold(true);
    modelLabel->setFont(modelFont);
    subtitleLabel = label(tr("Service signal generator 0-40MHz"), "subtitleLabel", this,
                          QRect(495, 54, 280, 18));

    outputLamp = named(new Lamp(QStringLiteral("Output lamp"), this), "outputLamp");
    outputLamp->move(495, 78);
    outputLampLabel = label(tr("Output"), "outputLampLabel", this, QRect(517, 76, 60, 22));
    sweepLamp = named(new Lamp(QStringLiteral("Sweep lamp"), this), "sweepLamp");
    sweepLamp->move(585, 78);
    sweepLampLabel = label(tr("Sweep"), "sweepLampLabel", this, QRect(607, 76, 60, 22));
    readyLamp = named(new Lamp(QStringLiteral("Ready lamp"), this), "readyLamp");
    readyLamp->move(675, 78);
    readyLampLabel = label(tr("Ready"), "readyLampLabel", this, QRect(697, 76, 60, 22));

    // The buttons, in rows as on the instrument; the tab order follows the rows.
    const int bw = 66, bh = 26, x0 = 495, y0 = 104, dx = 70, dy = 30;
    auto at = [&](int col, int row) { return QRect(x0 + col * dx, y0 + row * dy, bw, bh); };
    upButton = button(tr("Up"), "upButton", at(0, 0));
    downButton = button(tr("Down"), "downButton", at(1, 0));
    stepButton = button(tr("Step"), "stepButton", at(2, 0));
    directInButton = button(tr("Direct in"), "directInButton", at(3, 0));
    amModeButton = button(tr("AM Mode"), "amModeButton", at(0, 1));
    stopButton = button(tr("STOP"), "stopButton", at(1, 1));
    sweepButton = button(tr("Sweep"), "sweepButton", at(2, 1));
    cwButton = button(tr("CW"), "cwButton", at(3, 1));
    saveButton = button(tr("MS"), "saveButton", at(0, 2));
    recallButton = button(tr("MR"), "recallButton", at(1, 2));
    configButton = button(tr("Config"), "configButton", at(2, 2));
    infoButton = button(tr("Info"), "infoButton", at(3, 2));
    powerButton = button(tr("Power"), "powerButton", QRect(10, 186, 80, 28));
    cwButton->setEnabled(false);
    configButton->setEnabled(false);
    QWidget *order[] = {upButton,     downButton,  stepButton, directInButton, amModeButton,
                        stopButton,   sweepButton, cwButton,   saveButton,     recallButton,
                        configButton, infoButton,  powerButton};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    noticeLabel = label(QString(), "noticeLabel", this, QRect(100, 190, 670, 20));

    // The direct-entry row below the compact panel.
    directEntryFrame = named(new QFrame(this), "directEntryFrame");
    directEntryFrame->setGeometry(10, collapsedHeight() + 6, PanelWidth - 20, 60);
    directEntryFrame->setFrameShape(QFrame::Box);
    carrierEntryLabel =
        label(tr("Carrier freq. :"), "carrierEntryLabel", directEntryFrame, QRect(10, 18, 110, 24));
    carrierEntry = named(new QLineEdit(directEntryFrame), "carrierEntry");
    carrierEntry->setGeometry(125, 16, 180, 28);
    modulationEntryLabel = label(tr("Modulation freq. :"), "modulationEntryLabel", directEntryFrame,
                                 QRect(330, 18, 130, 24));
    modulationEntry = named(new QLineEdit(directEntryFrame), "modulationEntry");
    modulationEntry->setGeometry(465, 16, 140, 28);
    carrierEntry->installEventFilter(this);
    modulationEntry->installEventFilter(this);
    setTabOrder(powerButton, carrierEntry);
    setTabOrder(carrierEntry, modulationEntry);

    m_telegraphPanel = new TelegraphPanel(this);
    m_telegraphPanel->setGeometry(displayWindow->geometry());
}

void MainWindow::start() {
    if (m_started)
        return;
    m_started = true;
    load();
}

QCoro::Task<> MainWindow::load() {
    // Every wait below throws WaitCancelled when the window is destroyed meanwhile;
    // the exception ends this detached task without touching the window.
    noticeLabel->setText(QStringLiteral("© 2009-%1 KVT Instruments · www.kvt-instruments.example")
                             .arg(m_services.today().year()));
    m_state.telegraphSpeed = static_cast<int16_t>(m_telegraphPanel->speedSlider->value());
    setFixedHeight(collapsedHeight());

    QScrollBar *slider = m_telegraphPanel->speedSlider;
    const QString settings = QDir(m_services.programFolder).filePath(SettingsFile::FileName);
    const bool read = SettingsFile::read(settings, m_state, [slider](int speed) {
        return speed >= slider->minimum() && speed <= slider->maximum();
    });
    if (read)
        slider->setValue(m_state.telegraphSpeed);

    carrierReadout->setText(QStringLiteral("."));
    carrierEntry->clear();
    modulationEntry->clear();
    m_state.tuneStep = 10000;
    m_state.outputOn = 1;
    m_state.connected = 0;

    const bool connected = co_await discoverPort();
    if (!connected)
        co_return;

    co_await m_link->delay(1000);
    co_await readParams();
    co_await m_link->delay(100);
    m_link->sendCommand(QStringLiteral("B"));
    co_await m_link->delay(100);
    m_link->sendCommand(QStringLiteral("T"));
    co_await m_link->delay(100);

    m_pollTimer->setEnabled(true);
    if (m_searchWindow)
        m_searchWindow->hide();
    show();
    Q_EMIT loaded();
}

QCoro::Task<bool> MainWindow::discoverPort() {
    m_state.portScanTicks = 0;
    m_portProblems.clear();
    for (;;) {
        setSearchText(QStringLiteral("Searching for the generator: COM%1").arg(m_state.portNumber));
        const int error = m_link->openPort();
        if (error != 0) {
            // 8002 and 8015 mean no usable port here; a busy port or one we may not open
            // is skipped the same way, but remembered so the failure window can say why.
            const QString name = QStringLiteral("COM%1").arg(m_state.portNumber);
            if (error == SerialPort::PortBusy)
                m_portProblems << name + QStringLiteral(": in use by another program");
            else if (error == SerialPort::PermissionDenied)
                m_portProblems << name + QStringLiteral(": permission denied (on Linux add your "
                                                        "user to the group \"dialout\" and log in "
                                                        "again, or run the installer as root)");
            ++m_state.portNumber;
            if (m_state.portNumber > 64) {
                if (!m_failureDialog)
                    m_failureDialog = new ConnectionFailureDialog(m_state, this);
                if (m_searchWindow)
                    m_searchWindow->hide();
                m_failureDialog->setPortProblems(m_portProblems);
                m_services.dialogs->showModal(*m_failureDialog);
                if (m_ending)
                    co_return false;
                if (m_state.retryChoice == 0) {
                    endProgram();
                    co_return false;
                }
                m_state.portNumber = 2;
                m_portProblems.clear();
            }
            // Every step of a pass over missing ports yields to the event loop, so a
            // pass never holds the window.
            co_await m_scanWaits->wait(0);
            continue;
        }

        while (m_state.connected == 0 && m_state.portScanTicks <= 5) {
            co_await m_scanWaits->wait(-1);
        }
        if (m_state.connected != 0) {
            if (m_searchWindow)
                m_searchWindow->hide();
            co_return true;
        }
        m_portProblems << QStringLiteral("COM%1: no answer from a generator (%2)")
                              .arg(m_state.portNumber)
                              .arg(m_link->port().systemName());
        ++m_state.portNumber;
        m_link->closePort();
        m_state.portScanTicks = 0;
    }
}

QCoro::Task<> MainWindow::readParams() {
    co_await m_link->delay(1000);
    m_link->sendCommand(QStringLiteral("G"));
    co_await m_link->delay(100);
    m_link->sendCommand(QStringLiteral("I"));
    co_await m_link->delay(100);
    m_link->sendCommand(QStringLiteral("J"));
    co_await m_link->delay(100);
    m_link->sendCommand(QStringLiteral("H"));
}

void MainWindow::pollTick() {
    ++m_state.pollTicks;
    if (m_state.pollTicks > 3) {
        m_state.pollTicks = 0;
        readParams();
    }
}

void MainWindow::scanTick() {
    ++m_state.portScanTicks;
    if (m_state.portScanTicks > 30000)
        m_state.portScanTicks = 0;
    m_scanWaits->wakeAll();
}

void MainWindow::applyReply(const ReplyEffects &effects) {
    if (effects.kind == ReplyEffects::Kind::Identity) {
        modelLabel->setText(m_state.modelName);
        if (effects.enableKvt20Buttons) {
            cwButton->setEnabled(true);
            configButton->setEnabled(true);
        }
        if (!effects.subtitle.isEmpty())
            subtitleLabel->setText(effects.subtitle);
        readyLamp->setLit(true);
        m_scanWaits->wakeAll(); // discovery: the generator has answered on this port
        return;
    }
    if (!effects.sweepCaption.isEmpty())
        sweepButton->setText(effects.sweepCaption);
    displayAll();
}

void MainWindow::displayAll() {
    const std::optional<PanelView> view = renderPanel(m_state);
    if (!view)
        return;
    carrierReadout->setText(view->carrier);
    modulationReadout->setText(view->modulation);
    stepLine->setText(view->step);
    if (view->modKind)
        modKindLine->setText(*view->modKind);
    modeLine->setText(view->mode);
    outputLamp->setLit(view->outputLamp);
    sweepLamp->setLit(view->sweepLamp);
    upButton->setEnabled(view->upDownEnabled);
    downButton->setEnabled(view->upDownEnabled);
}

void MainWindow::powerClicked() {
    if (m_state.connected == 1) {
        const QString settings = QDir(m_services.programFolder).filePath(SettingsFile::FileName);
        SettingsFile::write(settings, m_state);
    }
    endProgram();
}

void MainWindow::endProgram() {
    m_ending = true;
    m_link->closePort();
    m_services.quit();
}

void MainWindow::closeEvent(QCloseEvent *event) {
    // Closing the window ends the program without saving the settings.
    m_link->closePort();
    QWidget::closeEvent(event);
    endProgram();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_searchWindow && event->type() == QEvent::Close && !isVisible()) {
        // Closing the search window during start-up ends the program, as closing the
        // main window does.
        endProgram();
        return false;
    }
    if (event->type() == QEvent::KeyPress &&
        (watched == carrierEntry || watched == modulationEntry))
        return directEntryKey(static_cast<QLineEdit *>(watched), static_cast<QKeyEvent *>(event));
    return QWidget::eventFilter(watched, event);
}

void MainWindow::setSearchText(const QString &text) {
    if (!m_searchWindow) {
        m_searchWindow = new QLabel;
        m_searchWindow->setObjectName(QStringLiteral("SearchWindow"));
        m_searchWindow->setWindowTitle(QStringLiteral("KVT Control Panel"));
        m_searchWindow->setMargin(18);
        m_searchWindow->setMinimumWidth(340);
        m_searchWindow->installEventFilter(this);
    }
    m_searchWindow->setText(text);
    if (!m_searchWindow->isVisible() && !isVisible())
        m_searchWindow->show();
}

PresetsWindow &MainWindow::presetsWindow() {
    if (!m_presetsWindow)
        m_presetsWindow = new PresetsWindow(m_state, this);
    return *m_presetsWindow;
}

SetupDialog &MainWindow::setupDialog() {
    return m_setupExchange->dialog();
}

void MainWindow::changeEvent(QEvent *event) {
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

// The panel's captions that have a Czech text (the language box of the setup window).
void MainWindow::retranslate() {
    powerButton->setText(tr("Power"));
    directInButton->setText(tr("Direct in"));
    carrierEntryLabel->setText(tr("Carrier freq. :"));
    modulationEntryLabel->setText(tr("Modulation freq. :"));
    // A wide-range generator has replaced the subtitle with its own range; that stays.
    const char *subtitle = QT_TR_NOOP("Service signal generator 0-40MHz");
    if (subtitleLabel->text() == QLatin1String(subtitle))
        subtitleLabel->setText(tr(subtitle));
}
