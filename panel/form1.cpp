#include "panel/form1.h"

#include "link/form3.h"
#include "link/link.h"
#include "link/serialport.h"
#include "link/settingsfile.h"
#include "link/timesource.h"
#include "link/waits.h"
#include "panel/lamp.h"
#include "panel/panelview.h"
#include "presets/form2.h"
#include "presets/frame2.h"
#include "setup/form5.h"

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
} // namespace

int Form1::collapsedHeight() {
    return px(2700);
}
int Form1::expandedHeight() {
    return px(3660);
}

Form1::Form1(const Services &services, QWidget *parent) : QWidget(parent), m_services(services) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("KVT Control Panel"));
    m_link = std::make_unique<Link>(m_state, *m_services.port, *m_services.time);
    m_scanWaits = std::make_unique<WaitSet>(*m_services.time);
    Timer1 = std::make_unique<Ticker>(*m_services.time, 1000, [this] { Timer1_Tick(); });
    Timer3 = std::make_unique<Ticker>(*m_services.time, 1000, [this] { Timer3_Tick(); });
    Timer4 = std::make_unique<Ticker>(*m_services.time, 1000, [this] { Timer4_Tick(); });

    buildPanel();

    connect(m_link.get(), &Link::replyHandled, this, &Form1::applyReply);
    connect(m_link.get(), &Link::portLost, this, [this] {
        // The adapter was unplugged: the line is gone, so the Ready lamp goes dark.
        // There is no reconnection; commands are dropped from now on.
        Shape7->setLit(false);
    });
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connectTuning();
    connectModulation();
    connectSweep();
    connectPresets();
    connectRadiotelegraph();

    Timer3->setEnabled(true);
    Timer4->setEnabled(true);
}

Form1::~Form1() {
    m_ending = true;
    // Waiting procedures stop without touching the window.
    m_scanWaits->cancelAll();
    m_link->waits().cancelAll();
    Timer1.reset();
    Timer3.reset();
    Timer4.reset();
    m_link->ClosePort();
    delete m_searchWindow;
}

void Form1::buildPanel() {
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
    Shape1 = named(new QFrame(this), "Shape1");
    Shape1->setGeometry(10, 10, 470, 170);
    Shape1->setFrameShape(QFrame::Box);
    Shape1->setLineWidth(2);
    Shape1->setAutoFillBackground(true);
    QPalette display = Shape1->palette();
    display.setColor(QPalette::Window, DisplayBackground);
    display.setColor(QPalette::WindowText, DisplayDigits);
    Shape1->setPalette(display);

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
        auto *l = named(new ClickLabel(text, Shape1), name);
        l->setGeometry(geometry);
        l->setFont(font);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setCursor(Qt::PointingHandCursor);
        l->setToolTip(tip);
        return l;
    };
    Label1 = readout(QStringLiteral("65.000.000"), "Label1", QRect(10, 10, 390, 70), large,
                     QStringLiteral("Click to set the carrier frequency"));
    Label4 = label(QStringLiteral("Hz"), "Label4", Shape1, QRect(408, 40, 50, 30));
    Label4->setFont(medium);
    Label5 = label(QStringLiteral("AM :"), "Label5", Shape1, QRect(14, 90, 76, 34));
    Label5->setFont(medium);
    Label2 = readout(QStringLiteral("..."), "Label2", QRect(90, 88, 110, 38), medium,
                     QStringLiteral("Click to set the modulation frequency"));
    Label3 = label(QStringLiteral("Hz"), "Label3", Shape1, QRect(206, 90, 44, 34));
    Label3->setFont(medium);
    Label6 = label(QStringLiteral("MAN"), "Label6", Shape1, QRect(300, 92, 150, 30));
    Label6->setFont(medium);
    Label6->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label12 = label(QString(), "Label12", Shape1, QRect(14, 136, 200, 24));
    Label12->setFont(small);
    Label11 = label(QStringLiteral("Step : 100kHz"), "Label11", Shape1, QRect(250, 136, 200, 24));
    Label11->setFont(small);
    Label11->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // Heading, model and lamps to the right of the display.
    Label9 = label(QStringLiteral("PC Control panel"), "Label9", this, QRect(495, 6, 270, 22));
    QFont headingFont = sans;
    headingFont.setPixelSize(16);
    headingFont.setBold(true);
    Label9->setFont(headingFont);
    Label7 = label(QStringLiteral("KVT 10"), "Label7", this, QRect(495, 28, 120, 26));
    QFont modelFont = sans;
    modelFont.setPixelSize(22);
    modelFont.setBold(true);
    Label7->setFont(modelFont);
    Label8 = label(QStringLiteral("Service signal generator 0-40MHz"), "Label8", this,
                   QRect(495, 54, 280, 18));

    Shape10 = named(new Lamp(QStringLiteral("Output lamp"), this), "Shape10");
    Shape10->move(495, 78);
    Label16 = label(QStringLiteral("Output"), "Label16", this, QRect(517, 76, 60, 22));
    Shape11 = named(new Lamp(QStringLiteral("Sweep lamp"), this), "Shape11");
    Shape11->move(585, 78);
    Label17 = label(QStringLiteral("Sweep"), "Label17", this, QRect(607, 76, 60, 22));
    Shape7 = named(new Lamp(QStringLiteral("Ready lamp"), this), "Shape7");
    Shape7->move(675, 78);
    Label10 = label(QStringLiteral("Ready"), "Label10", this, QRect(697, 76, 60, 22));

    // The buttons, in rows as on the instrument; the tab order follows the rows.
    const int bw = 66, bh = 26, x0 = 495, y0 = 104, dx = 70, dy = 30;
    auto at = [&](int col, int row) { return QRect(x0 + col * dx, y0 + row * dy, bw, bh); };
    Command7 = button(QStringLiteral("Up"), "Command7", at(0, 0));
    Command8 = button(QStringLiteral("Down"), "Command8", at(1, 0));
    Command10 = button(QStringLiteral("Step"), "Command10", at(2, 0));
    Command12 = button(QStringLiteral("Direct in"), "Command12", at(3, 0));
    Command4 = button(QStringLiteral("AM Mode"), "Command4", at(0, 1));
    Command6 = button(QStringLiteral("STOP"), "Command6", at(1, 1));
    Command5 = button(QStringLiteral("Sweep"), "Command5", at(2, 1));
    Command11 = button(QStringLiteral("CW"), "Command11", at(3, 1));
    Command2 = button(QStringLiteral("MS"), "Command2", at(0, 2));
    Command3 = button(QStringLiteral("MR"), "Command3", at(1, 2));
    Command16 = button(QStringLiteral("Config"), "Command16", at(2, 2));
    Command9 = button(QStringLiteral("Info"), "Command9", at(3, 2));
    Command1 = button(QStringLiteral("Power"), "Command1", QRect(10, 186, 80, 28));
    Command11->setEnabled(false);
    Command16->setEnabled(false);
    QWidget *order[] = {Command7,  Command8, Command10, Command12, Command4, Command6, Command5,
                        Command11, Command2, Command3,  Command16, Command9, Command1};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    Label13 = label(QString(), "Label13", this, QRect(100, 190, 670, 20));

    // The direct-entry row below the compact panel.
    Shape9 = named(new QFrame(this), "Shape9");
    Shape9->setGeometry(10, collapsedHeight() + 6, PanelWidth - 20, 60);
    Shape9->setFrameShape(QFrame::Box);
    Label14 = label(QStringLiteral("Carrier freq. :"), "Label14", Shape9, QRect(10, 18, 110, 24));
    Text1 = named(new QLineEdit(Shape9), "Text1");
    Text1->setGeometry(125, 16, 180, 28);
    Label15 =
        label(QStringLiteral("Modulation freq. :"), "Label15", Shape9, QRect(330, 18, 130, 24));
    Text2 = named(new QLineEdit(Shape9), "Text2");
    Text2->setGeometry(465, 16, 140, 28);
    Text1->installEventFilter(this);
    Text2->installEventFilter(this);
    setTabOrder(Command1, Text1);
    setTabOrder(Text1, Text2);

    m_frame2 = new Frame2(this);
    m_frame2->setGeometry(Shape1->geometry());
}

void Form1::start() {
    if (m_started)
        return;
    m_started = true;
    load();
}

QCoro::Task<> Form1::load() {
    // Every wait below throws WaitCancelled when the window is destroyed meanwhile;
    // the exception ends this detached task without touching the window.
    Label13->setText(QStringLiteral("© 2009-%1 KVT Instruments · www.kvt-instruments.example")
                         .arg(m_services.today().year()));
    m_state.TelegraphSpeed = static_cast<int16_t>(m_frame2->HScroll1->value());
    setFixedHeight(collapsedHeight());

    QScrollBar *slider = m_frame2->HScroll1;
    const QString settings = QDir(m_services.programFolder).filePath(SettingsFile::FileName);
    const bool read = SettingsFile::read(settings, m_state, [slider](int speed) {
        return speed >= slider->minimum() && speed <= slider->maximum();
    });
    if (read)
        slider->setValue(m_state.TelegraphSpeed);

    Label1->setText(QStringLiteral("."));
    Text1->clear();
    Text2->clear();
    m_state.TuneStep = 10000;
    m_state.OutputOn = 1;
    m_state.Connected = 0;

    const bool connected = co_await discoverPort();
    if (!connected)
        co_return;

    co_await m_link->Delay(1000);
    co_await ReadParams();
    co_await m_link->Delay(100);
    m_link->SendCommand(QStringLiteral("B"));
    co_await m_link->Delay(100);
    m_link->SendCommand(QStringLiteral("T"));
    co_await m_link->Delay(100);

    Timer1->setEnabled(true);
    if (m_searchWindow)
        m_searchWindow->hide();
    show();
    Q_EMIT loaded();
}

QCoro::Task<bool> Form1::discoverPort() {
    m_state.PortScanTicks = 0;
    m_portProblems.clear();
    for (;;) {
        setSearchText(QStringLiteral("Searching for the generator: COM%1").arg(m_state.PortNumber));
        const int error = m_link->OpenPort();
        if (error != 0) {
            // 8002 and 8015 mean no usable port here; a busy port or one we may not open
            // is skipped the same way, but remembered so the failure window can say why.
            const QString name = QStringLiteral("COM%1").arg(m_state.PortNumber);
            if (error == SerialPort::PortBusy)
                m_portProblems << name + QStringLiteral(": in use by another program");
            else if (error == SerialPort::PermissionDenied)
                m_portProblems << name + QStringLiteral(": permission denied (on Linux add your "
                                                        "user to the group \"dialout\" and log in "
                                                        "again, or run the installer as root)");
            ++m_state.PortNumber;
            if (m_state.PortNumber > 64) {
                if (!m_form3)
                    m_form3 = new Form3(m_state, this);
                if (m_searchWindow)
                    m_searchWindow->hide();
                m_form3->setPortProblems(m_portProblems);
                m_services.dialogs->showModal(*m_form3);
                if (m_ending)
                    co_return false;
                if (m_state.RetryChoice == 0) {
                    endProgram();
                    co_return false;
                }
                m_state.PortNumber = 2;
                m_portProblems.clear();
            }
            // Every step of a pass over missing ports yields to the event loop, so a
            // pass never holds the window.
            co_await m_scanWaits->wait(0);
            continue;
        }

        while (m_state.Connected == 0 && m_state.PortScanTicks <= 5) {
            co_await m_scanWaits->wait(-1);
        }
        if (m_state.Connected != 0) {
            if (m_searchWindow)
                m_searchWindow->hide();
            co_return true;
        }
        m_portProblems << QStringLiteral("COM%1: no answer from a generator (%2)")
                              .arg(m_state.PortNumber)
                              .arg(m_link->port().systemName());
        ++m_state.PortNumber;
        m_link->ClosePort();
        m_state.PortScanTicks = 0;
    }
}

QCoro::Task<> Form1::ReadParams() {
    co_await m_link->Delay(1000);
    m_link->SendCommand(QStringLiteral("G"));
    co_await m_link->Delay(100);
    m_link->SendCommand(QStringLiteral("I"));
    co_await m_link->Delay(100);
    m_link->SendCommand(QStringLiteral("J"));
    co_await m_link->Delay(100);
    m_link->SendCommand(QStringLiteral("H"));
}

void Form1::Timer1_Tick() {
    ++m_state.PollTicks;
    if (m_state.PollTicks > 3) {
        m_state.PollTicks = 0;
        ReadParams();
    }
}

void Form1::Timer3_Tick() {
    ++m_state.PortScanTicks;
    if (m_state.PortScanTicks > 30000)
        m_state.PortScanTicks = 0;
    m_scanWaits->wakeAll();
}

void Form1::applyReply(const ReplyEffects &effects) {
    if (effects.kind == ReplyEffects::Kind::Identity) {
        Label7->setText(m_state.ModelName);
        if (effects.enableKvt20Buttons) {
            Command11->setEnabled(true);
            Command16->setEnabled(true);
        }
        if (!effects.subtitle.isEmpty())
            Label8->setText(effects.subtitle);
        Shape7->setLit(true);
        m_scanWaits->wakeAll(); // discovery: the generator has answered on this port
        return;
    }
    if (!effects.sweepCaption.isEmpty())
        Command5->setText(effects.sweepCaption);
    DisplayAll();
}

void Form1::DisplayAll() {
    const std::optional<PanelView> view = renderPanel(m_state);
    if (!view)
        return;
    Label1->setText(view->carrier);
    Label2->setText(view->modulation);
    Label11->setText(view->step);
    if (view->modKind)
        Label12->setText(*view->modKind);
    Label6->setText(view->mode);
    Shape10->setLit(view->outputLamp);
    Shape11->setLit(view->sweepLamp);
    Command7->setEnabled(view->upDownEnabled);
    Command8->setEnabled(view->upDownEnabled);
}

void Form1::Command1_Click() {
    if (m_state.Connected == 1) {
        const QString settings = QDir(m_services.programFolder).filePath(SettingsFile::FileName);
        SettingsFile::write(settings, m_state);
    }
    endProgram();
}

void Form1::endProgram() {
    m_ending = true;
    m_link->ClosePort();
    m_services.quit();
}

void Form1::closeEvent(QCloseEvent *event) {
    // Closing the window ends the program without saving the settings.
    m_link->ClosePort();
    QWidget::closeEvent(event);
    endProgram();
}

bool Form1::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_searchWindow && event->type() == QEvent::Close && !isVisible()) {
        // Closing the search window during start-up ends the program, as closing the
        // main window does.
        endProgram();
        return false;
    }
    if (event->type() == QEvent::KeyPress && (watched == Text1 || watched == Text2))
        return directEntryKey(static_cast<QLineEdit *>(watched), static_cast<QKeyEvent *>(event));
    return QWidget::eventFilter(watched, event);
}

void Form1::setSearchText(const QString &text) {
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

Form2 &Form1::form2() {
    if (!m_form2)
        m_form2 = new Form2(m_state, this);
    return *m_form2;
}

Form5 &Form1::form5() {
    if (!m_form5)
        m_form5 = new Form5(m_state, this);
    return *m_form5;
}

bool Form1::czechCaptions() {
    // Reading the language box creates the setup window (hidden) if need be.
    return form5().Check1->isChecked();
}
