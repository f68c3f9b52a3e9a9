#include "panel/mainwindow.h"

#include "instrument/connection.h"
#include "instrument/firmwareupdate.h"
#include "instrument/instrument.h"
#include "link/devicestate.h"
#include "link/link.h"
#include "link/procedure.h"
#include "link/replyparser.h"
#include "panel/infopanel.h"
#include "panel/lamp.h"
#include "panel/modulationcontrol.h"
#include "panel/panelview.h"
#include "panel/power.h"
#include "panel/startupwindows.h"
#include "panel/sweepcontrol.h"
#include "panel/tuning.h"
#include "presets/presetcontrol.h"
#include "presets/telegraphpanel.h"
#include "setup/firmwareupdatedialog.h"
#include "setup/language.h"
#include "setup/setupdialog.h"
#include "setup/setupexchange.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#ifndef KVT_MAKER_DOMAIN
#error "KVT_MAKER_DOMAIN comes from CMakeLists.txt"
#endif

namespace {
// The panel is drawn in twips as the instrument drawing gives them; 12 twips to a
// pixel keeps the compact panel readable on today's screens.
constexpr int px(int twips) {
    return twips / 12;
}
constexpr int PanelWidth = 780;
#include <utility>

const QColor DisplayBackground(0x0b, 0x10, 0x14);
const QColor DisplayDigits(0xff, 0xb4, 0x28);
} // namespace

int MainWindow::collapsedHeight() {
    return px(2700);
}
int MainWindow::expandedHeight() {
    return px(3660);
}

MainWindow::MainWindow(Instrument &instrument, const Services &services, QWidget *parent)
    : QWidget(parent), m_instrument(instrument), m_services(services),
      m_language(std::make_unique<Language>()) {
    setObjectName(QStringLiteral("MainWindow"));

    buildPanel();
    retranslate();
    createSubsystems();

    connect(&m_instrument.link(), &Link::replyHandled, this, &MainWindow::applyReply);
    // Whoever changed the device record (a reply, a button, a remote client), the panel
    // shows it at once.
    connect(&m_instrument, &Instrument::changed, this, &MainWindow::displayAll);
    // A procedure that starts a sweep shows Pause again; one that ends it, or switches the
    // output as STOP does, shows Sweep.
    connect(&m_instrument, &Instrument::sweepStateChanged, this, [this](bool sweeping) {
        m_stoppedSinceSweep = !sweeping;
        showCaptions();
    });
    connect(&m_instrument, &Instrument::failed, this, &MainWindow::reportFailure);
    // The adapter was unplugged: Connection tries the port again; the panel waits.
    connect(&m_instrument.link(), &Link::portLost, this, &MainWindow::showLineLost);
}

MainWindow::~MainWindow() {
    // From here on every subsystem sees the program ending, and waiting procedures stop
    // without touching the window: their waits end with WaitCancelled. The members then
    // go in reverse order, subsystems first, while the window is still whole.
    m_tearingDown = true;
    m_instrument.link().waits().cancelAll();
    m_instrument.setConnectionWindows(nullptr);
}

void MainWindow::createSubsystems() {
    auto report = [self = QPointer<MainWindow>(this)](const QString &what) {
        if (self)
            self->reportFailure(what);
    };
    Connection &connection = m_instrument.connection();
    m_context = std::make_unique<PanelContext>(PanelContext{
        m_instrument.state(), m_instrument, m_instrument.link(), m_services, m_instrument.polling(),
        this, [this] { displayAll(); },
        [this] { return m_tearingDown || m_instrument.connection().ending(); }, report});
    const PanelContext &context = *m_context;

    m_startupWindows = std::make_unique<StartupWindows>(
        context,
        StartupWindows::Controls{[this] { m_instrument.connection().endProgram(); },
                                 [this](int port) { return firmwareDialog().recover(port); }},
        this);
    m_instrument.setConnectionWindows(m_startupWindows.get());
    m_power = std::make_unique<Power>(context, connection, m_powerButton, this);

    m_tuning = std::make_unique<Tuning>(
        context,
        Tuning::Controls{
            m_carrierReadout, m_modulationReadout, m_upButton, m_downButton, m_stepButton,
            m_directInButton, m_carrierEntry, m_modulationEntry,
            [this] { return height() != collapsedHeight(); },
            [this](bool shown) { setFixedHeight(shown ? expandedHeight() : collapsedHeight()); }},
        this);
    connect(m_tuning.get(), &Tuning::stepChanged, this, &MainWindow::displayAll);

    m_telegraphPanel = std::make_unique<TelegraphPanel>(
        context, TelegraphPanel::Controls{m_displayWindow->geometry()});
    connect(m_telegraphPanel.get(), &TelegraphPanel::closed, this, [this] {
        m_carrierReadout->show();
        m_modulationReadout->show();
        displayAll();
    });

    m_modulation = std::make_unique<ModulationControl>(
        context,
        ModulationControl::Controls{m_amModeButton, m_stopButton, m_cwButton,
                                    [this] {
                                        // The frame takes the display window's
                                        // place; its own Close brings the panel
                                        // back.
                                        m_carrierReadout->hide();
                                        m_modulationReadout->hide();
                                        m_telegraphPanel->open();
                                    }},
        this);
    connect(m_modulation.get(), &ModulationControl::stopPressed, this, [this] {
        m_stoppedSinceSweep = true;
        showCaptions();
    });
    m_sweep = std::make_unique<SweepControl>(
        context,
        SweepControl::Controls{m_sweepButton,
                               [this](const char *text) {
                                   return m_language->inChosenLanguage("SweepDialogs", text);
                               }},
        this);
    m_presets = std::make_unique<PresetControl>(
        context, PresetControl::Controls{m_saveButton, m_recallButton}, this);

    m_infoPanel = std::make_unique<InfoPanel>(
        context, InfoPanel::Controls{m_infoButton, m_displayWindow->geometry(),
                                     [this] { return &firmwareDialog(); }});

    m_setupExchange = std::make_unique<SetupExchange>(context, *m_language, this);
    m_firmwareUpdate = std::make_unique<FirmwareUpdate>(
        FirmwareUpdate::Context{m_instrument.state(), m_instrument.link(), m_instrument.polling(),
                                m_services},
        this);
    connect(m_configButton, &QPushButton::clicked, this,
            [this] { startProcedure(*m_context, m_setupExchange->run()); });
    connect(&setupDialog(), &SetupDialog::upgradeRequested, this, [this] {
        m_services.dialogs->showModal(firmwareDialog());
        m_setupExchange->firmwareWindowClosed();
    });
}

FirmwareUpdateDialog &MainWindow::firmwareDialog() {
    if (!m_firmwareDialog) {
        m_firmwareDialog = std::make_unique<FirmwareUpdateDialog>(
            *m_firmwareUpdate, m_instrument.state(), *m_services.dialogs, m_context->ending, this);
        m_firmwareDialog->setBackupFolder(m_services.backupFolder);
    }
    return *m_firmwareDialog;
}

void MainWindow::reportFailure(const QString &what) {
    m_services.dialogs->message(
        this, QStringLiteral("KVT Control Panel"),
        QStringLiteral("An internal error stopped this action: %1").arg(what));
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
    m_displayWindow = named(new QFrame(this), "displayWindow");
    m_displayWindow->setGeometry(10, 10, 470, 170);
    m_displayWindow->setFrameShape(QFrame::Box);
    m_displayWindow->setLineWidth(2);
    m_displayWindow->setAutoFillBackground(true);
    QPalette display = m_displayWindow->palette();
    display.setColor(QPalette::Window, DisplayBackground);
    display.setColor(QPalette::WindowText, DisplayDigits);
    // Dimmed digits while no generator is connected (the display is disabled then).
    display.setColor(QPalette::Disabled, QPalette::WindowText, DisplayDigits.darker(300));
    m_displayWindow->setPalette(display);

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
        auto *l = named(new ClickLabel(text, m_displayWindow), name);
        l->setGeometry(geometry);
        l->setFont(font);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setCursor(Qt::PointingHandCursor);
        l->setToolTip(tip);
        return l;
    };
    m_carrierReadout =
        readout(QStringLiteral("65.000.000"), "carrierReadout", QRect(10, 10, 390, 70), large,
                QStringLiteral("Click to set the carrier frequency"));
    m_carrierUnitLabel =
        label(QString(), "carrierUnitLabel", m_displayWindow, QRect(408, 40, 50, 30));
    m_carrierUnitLabel->setFont(medium);
    m_modulationPrefixLabel =
        label(QString(), "modulationPrefixLabel", m_displayWindow, QRect(14, 90, 76, 34));
    m_modulationPrefixLabel->setFont(medium);
    m_modulationReadout =
        readout(QStringLiteral("..."), "modulationReadout", QRect(90, 88, 110, 38), medium,
                QStringLiteral("Click to set the modulation frequency"));
    m_modulationUnitLabel =
        label(QString(), "modulationUnitLabel", m_displayWindow, QRect(206, 90, 44, 34));
    m_modulationUnitLabel->setFont(medium);
    m_modeLine = label(QStringLiteral("MAN"), "modeLine", m_displayWindow, QRect(300, 92, 150, 30));
    m_modeLine->setFont(medium);
    m_modeLine->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_modKindLine = label(QString(), "modKindLine", m_displayWindow, QRect(14, 136, 200, 24));
    m_modKindLine->setFont(small);
    m_stepLine = label(QStringLiteral("Step : 100kHz"), "stepLine", m_displayWindow,
                       QRect(250, 136, 200, 24));
    m_stepLine->setFont(small);
    m_stepLine->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // Heading, model and lamps to the right of the display.
    m_headingLabel = label(QString(), "headingLabel", this, QRect(495, 6, 270, 22));
    QFont headingFont = sans;
    headingFont.setPixelSize(16);
    headingFont.setBold(true);
    m_headingLabel->setFont(headingFont);
    m_modelLabel = label(QStringLiteral("KVT 10"), "modelLabel", this, QRect(495, 28, 120, 26));
    QFont modelFont = sans;
    modelFont.setPixelSize(22);
    modelFont.setBold(true);
    m_modelLabel->setFont(modelFont);
    m_subtitleLabel = label(QString(), "subtitleLabel", this, QRect(495, 54, 280, 18));

    m_outputLamp = named(new Lamp(QStringLiteral("Output lamp"), this), "outputLamp");
    m_outputLamp->move(495, 78);
    m_outputLampLabel = label(QString(), "outputLampLabel", this, QRect(517, 76, 60, 22));
    m_sweepLamp = named(new Lamp(QStringLiteral("Sweep lamp"), this), "sweepLamp");
    m_sweepLamp->move(585, 78);
    m_sweepLampLabel = label(QString(), "sweepLampLabel", this, QRect(607, 76, 60, 22));
    m_readyLamp = named(new Lamp(QStringLiteral("Ready lamp"), this), "readyLamp");
    m_readyLamp->move(675, 78);
    m_readyLampLabel = label(QString(), "readyLampLabel", this, QRect(697, 76, 60, 22));

    // The buttons, in rows as on the instrument; the tab order follows the rows.
    const int bw = 66, bh = 26, x0 = 495, y0 = 104, dx = 70, dy = 30;
    auto at = [&](int col, int row) { return QRect(x0 + col * dx, y0 + row * dy, bw, bh); };
    m_upButton = button(QString(), "upButton", at(0, 0));
    m_downButton = button(QString(), "downButton", at(1, 0));
    m_stepButton = button(QString(), "stepButton", at(2, 0));
    m_directInButton = button(QString(), "directInButton", at(3, 0));
    m_amModeButton = button(QString(), "amModeButton", at(0, 1));
    m_stopButton = button(QString(), "stopButton", at(1, 1));
    // The Sweep button's caption tells the sweep's state (Sweep or Pause); it has no
    // Czech text.
    m_sweepButton = button(QStringLiteral("Sweep"), "sweepButton", at(2, 1));
    m_cwButton = button(QString(), "cwButton", at(3, 1));
    m_saveButton = button(QString(), "saveButton", at(0, 2));
    m_recallButton = button(QString(), "recallButton", at(1, 2));
    m_configButton = button(QString(), "configButton", at(2, 2));
    m_infoButton = button(QString(), "infoButton", at(3, 2));
    m_powerButton = button(QString(), "powerButton", QRect(10, 186, 80, 28));
    m_cwButton->setEnabled(false);
    m_configButton->setEnabled(false);
    QWidget *order[] = {m_upButton,     m_downButton,   m_stepButton,   m_directInButton,
                        m_amModeButton, m_stopButton,   m_sweepButton,  m_cwButton,
                        m_saveButton,   m_recallButton, m_configButton, m_infoButton,
                        m_powerButton};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    m_noticeLabel = label(QString(), "noticeLabel", this, QRect(100, 190, 670, 20));

    // Shown while remote clients are connected, beside the model and the lamps; the
    // same text in every language, as on other instruments.
    m_remoteLabel = label(QStringLiteral("REM"), "remoteLabel", this, QRect(715, 30, 50, 22));
    QFont remoteFont = sans;
    remoteFont.setBold(true);
    m_remoteLabel->setFont(remoteFont);
    m_remoteLabel->hide();

    // The direct-entry row below the compact panel.
    m_directEntryFrame = named(new QFrame(this), "directEntryFrame");
    m_directEntryFrame->setGeometry(10, collapsedHeight() + 6, PanelWidth - 20, 60);
    m_directEntryFrame->setFrameShape(QFrame::Box);
    m_carrierEntryLabel =
        label(QString(), "carrierEntryLabel", m_directEntryFrame, QRect(10, 18, 110, 24));
    m_carrierEntry = named(new QLineEdit(m_directEntryFrame), "carrierEntry");
    m_carrierEntry->setGeometry(125, 16, 180, 28);
    m_modulationEntryLabel =
        label(QString(), "modulationEntryLabel", m_directEntryFrame, QRect(330, 18, 130, 24));
    m_modulationEntry = named(new QLineEdit(m_directEntryFrame), "modulationEntry");
    m_modulationEntry->setGeometry(465, 16, 140, 28);
    setTabOrder(m_powerButton, m_carrierEntry);
    setTabOrder(m_carrierEntry, m_modulationEntry);
}

void MainWindow::start() {
    if (m_started)
        return;
    m_started = true;
    startProcedure(*m_context, load());
}

QCoro::Task<> MainWindow::load() {
    // Every wait below throws WaitCancelled when the window is destroyed meanwhile;
    // that ends this procedure without touching the window.
    m_noticeLabel->setText(QStringLiteral("© 2009-%1 KVT Instruments · www." KVT_MAKER_DOMAIN)
                               .arg(m_services.today().year()));
    m_instrument.setMorseSpeed(m_telegraphPanel->speed());
    setFixedHeight(collapsedHeight());

    if (m_instrument.readSettings())
        m_telegraphPanel->setSpeed(m_instrument.state().telegraphSpeed);

    m_carrierReadout->setText(QStringLiteral("."));
    m_carrierEntry->clear();
    m_modulationEntry->clear();
    m_tuning->setStep(10000);

    const bool connected = co_await m_instrument.connection().connectGenerator();
    if (!connected)
        co_return;
    show();
    Q_EMIT loaded();
}

void MainWindow::showLineLost() {
    m_lineLost = true;
    m_readyLamp->setLit(false);
    setGeneratorControlsEnabled(false);
    // No reply will end what runs against the generator: the information panel is
    // put away, Morse keying and a sweep are over (the generator restarts when it
    // comes back), without a message.
    m_infoPanel->hide();
    m_telegraphPanel->stopKeying();
    displayAll();
}

void MainWindow::setGeneratorControlsEnabled(bool enabled) {
    QWidget *const controls[] = {m_displayWindow, m_directEntryFrame, m_amModeButton,
                                 m_stopButton,    m_sweepButton,      m_infoButton};
    for (QWidget *control : controls)
        control->setEnabled(enabled);
    m_presets->setLineUp(enabled);
}

void MainWindow::applyReply(const ReplyEffects &effects) {
    if (effects.kind == ReplyEffects::Kind::Identity) {
        if (m_lineLost) {
            m_lineLost = false;
            setGeneratorControlsEnabled(true);
            displayAll();
        }
        m_readyLamp->setLit(true);
        showCaptions(); // the readouts keep their first texts until the first frame
        return;
    }
    // The generator reports a sweep: Pause again after a STOP. The frame is on the panel
    // already: Instrument::changed redrew it.
    if (effects.letter == u'W' && m_stoppedSinceSweep) {
        m_stoppedSinceSweep = false;
        showCaptions();
    }
}

PanelViewState MainWindow::viewState() const {
    PanelViewState own;
    if (m_tuning)
        own.tuneStep = m_tuning->step();
    own.stoppedSinceSweep = m_stoppedSinceSweep;
    own.lineUp = !m_lineLost;
    own.remoteClients = m_remoteClients;
    return own;
}

void MainWindow::showCaptions() {
    const PanelCaptions captions = renderCaptions(m_instrument.state(), viewState());
    m_sweepButton->setText(captions.sweepButton);
    m_cwButton->setEnabled(captions.kvt20Controls);
    m_configButton->setEnabled(captions.kvt20Controls);
    m_subtitleLabel->setText(captions.wideSubtitle ? WideSubtitle
                                                   : tr("Service signal generator 0-40MHz"));
    if (!captions.model.isEmpty())
        m_modelLabel->setText(captions.model);
    m_remoteLabel->setVisible(captions.remote);
}

void MainWindow::displayAll() {
    showCaptions();
    const std::optional<PanelView> view = renderPanel(m_instrument.state(), viewState());
    if (!view)
        return;
    m_carrierReadout->setText(view->carrier);
    m_modulationReadout->setText(view->modulation);
    m_stepLine->setText(view->step);
    if (view->modKind)
        m_modKindLine->setText(*view->modKind);
    m_modeLine->setText(view->mode);
    m_outputLamp->setLit(view->outputLamp);
    m_sweepLamp->setLit(view->sweepLamp);
    m_upButton->setEnabled(view->upDownEnabled && !m_lineLost);
    m_downButton->setEnabled(view->upDownEnabled && !m_lineLost);
}

void MainWindow::showRemoteClients(int count) {
    m_remoteClients = count;
    showCaptions();
}

void MainWindow::closeEvent(QCloseEvent *event) {
    // A firmware update holds the port until it has ended; it cannot be abandoned.
    if (m_firmwareUpdate && m_firmwareUpdate->updateRunning()) {
        event->ignore();
        return;
    }
    // Closing the window ends the program without saving the settings.
    m_instrument.connection().shutDown();
    QWidget::closeEvent(event);
    m_instrument.connection().endProgram();
}

void MainWindow::endOnRequest() {
    if (m_firmwareUpdate && m_firmwareUpdate->updateRunning()) {
        if (!std::exchange(m_endRequested, true))
            connect(m_firmwareUpdate.get(), &FirmwareUpdate::updateEnded, this,
                    &MainWindow::endOnRequest, Qt::SingleShotConnection);
        return;
    }
    // Nobody is left to answer: a question open now answers No (the firmware update's
    // "Write" then changes nothing), a message open now is closed.
    m_services.dialogs->closeOpen();
    close();
}

SetupDialog &MainWindow::setupDialog() {
    return m_setupExchange->dialog();
}

void MainWindow::changeEvent(QEvent *event) {
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

// The panel's captions, set once at construction and again when the language changes;
// those that have a Czech text turn Czech with the setup window's language box.
void MainWindow::retranslate() {
    setWindowTitle(tr("KVT Control Panel"));
    m_carrierUnitLabel->setText(tr("Hz"));
    m_modulationPrefixLabel->setText(tr("AM :"));
    m_modulationUnitLabel->setText(tr("Hz"));
    m_headingLabel->setText(tr("PC Control panel"));
    showCaptions(); // the subtitle, unless a wide-range generator shows its own
    m_outputLampLabel->setText(tr("Output"));
    m_sweepLampLabel->setText(tr("Sweep"));
    m_readyLampLabel->setText(tr("Ready"));
    m_upButton->setText(tr("Up"));
    m_downButton->setText(tr("Down"));
    m_stepButton->setText(tr("Step"));
    m_directInButton->setText(tr("Direct in"));
    m_amModeButton->setText(tr("AM Mode"));
    m_stopButton->setText(tr("STOP"));
    m_cwButton->setText(tr("CW"));
    m_saveButton->setText(tr("MS"));
    m_recallButton->setText(tr("MR"));
    m_configButton->setText(tr("Config"));
    m_infoButton->setText(tr("Info"));
    m_powerButton->setText(tr("Power"));
    m_carrierEntryLabel->setText(tr("Carrier freq. :"));
    m_modulationEntryLabel->setText(tr("Modulation freq. :"));
}
