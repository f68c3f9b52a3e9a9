// Control panel: the main window and the subsystems of its panel.
//
// panel/ holds the pure renderer behind displayAll (panelview.h, Qt Core only), the
// main window, and the tuning, modulation/output and sweep subsystems. It drives the
// generator through instrument/ (the Instrument), reads link/ (the record, the number
// rules) and puts the windows of presets/ and setup/ together. Only app/ includes this
// header.
#pragma once

#include "panel/panelview.h"
#include "widgets/panelcontext.h"
#include "widgets/services.h"

#include <QWidget>
#include <memory>
#include <qcoro/qcorotask.h>

class ClickLabel;
class FirmwareUpdate;
class FirmwareUpdateDialog;
class InfoPanel;
class Instrument;
class Lamp;
class Language;
class ModulationControl;
class Power;
class PresetControl;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class SetupDialog;
class SetupExchange;
class StartupWindows;
class SweepControl;
class TelegraphPanel;
class Tuning;
struct ReplyEffects;

// The main window: the instrument's front panel, where the windows are put together.
// It builds the panel and creates one object per subsystem (start-up windows, tuning,
// modulation and output, sweep, presets, radiotelegraph, setup, firmware update), each
// with the controls it drives, all of them driving the one Instrument that main()
// built. It owns no link object: it redraws the panel whenever the Instrument's record
// changes.
class MainWindow final : public QWidget {
    Q_OBJECT
public:
    MainWindow(Instrument &instrument, const Services &services, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Runs the load step: settings file, port discovery, the first queries, then
    // polling; shows the window at its end. Call once, from the running event loop.
    void start();

    Instrument &instrument() { return m_instrument; }

    // Renders DeviceState on the panel.
    void displayAll();
    // "REM" is shown while at least one remote client is connected.
    void showRemoteClients(int count);

    // The system asks the program to end (SIGTERM, SIGINT, SIGHUP): it ends as closing
    // the window does (port closed, settings not written), but a firmware update
    // running is let finish first, so avrdude is never stopped mid-write. Questions and
    // messages open when it ends are closed (a question answers No).
    void endOnRequest();

    // Window heights of the compact panel and with the direct-entry row shown.
    static int collapsedHeight();
    static int expandedHeight();

Q_SIGNALS:
    // The load step has ended (connected, polling) and the window is shown.
    void loaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildPanel();
    void createSubsystems();
    QCoro::Task<> load();
    void applyReply(const ReplyEffects &effects);
    // The captions drawn from the record and the panel's own state (renderCaptions).
    PanelViewState viewState() const;
    void showCaptions();
    // The line to the generator went away: the panel shows it is not connected and
    // whatever was running against the generator ends quietly.
    void showLineLost();
    // The display and the controls that send to the generator; the CW and Config
    // buttons are only disabled here (the identity line enables them for a KVT 20).
    void setGeneratorControlsEnabled(bool enabled);
    void reportFailure(const QString &what);
    void retranslate();
    SetupDialog &setupDialog();             // created on first use; holds the language box
    FirmwareUpdateDialog &firmwareDialog(); // created on first use

    // What the subsystems share. Declared before them, so it outlives them all.
    Instrument &m_instrument;
    Services m_services;
    std::unique_ptr<Language> m_language; // chosen by the setup window's language box
    bool m_tearingDown = false;           // the destructor has begun
    bool m_started = false;
    std::unique_ptr<PanelContext> m_context;
    bool m_lineLost = false;          // from a loss of the port until the next identity line
    bool m_stoppedSinceSweep = false; // STOP pressed since the last sweep began
    int m_remoteClients = 0;          // remote control clients connected
    bool m_endRequested = false;      // the system asked the program to end

    // The panel's controls, named by role.
    QFrame *m_displayWindow;         // outline of the dark display window
    ClickLabel *m_carrierReadout;    // a click opens the carrier dialog
    QLabel *m_carrierUnitLabel;      // "Hz" beside the carrier readout
    QLabel *m_modulationPrefixLabel; // "AM :" before the modulation readout
    ClickLabel *m_modulationReadout; // a click opens the modulation dialog
    QLabel *m_modulationUnitLabel;   // "Hz" beside the modulation readout
    QLabel *m_modeLine;              // MAN, P n or SWEEP
    QLabel *m_modKindLine;           // modulation kind
    QLabel *m_stepLine;              // tuning step
    QLabel *m_headingLabel;          // "PC Control panel"
    QLabel *m_modelLabel;            // model name
    QLabel *m_subtitleLabel;         // subtitle with the frequency range
    QLabel *m_noticeLabel;           // maker's notice
    Lamp *m_outputLamp;              // lit while the output is on
    QLabel *m_outputLampLabel;       // "Output"
    Lamp *m_sweepLamp;               // lit while sweeping
    QLabel *m_sweepLampLabel;        // "Sweep"
    Lamp *m_readyLamp;               // lit once the generator has identified itself
    QLabel *m_readyLampLabel;        // "Ready"
    QLabel *m_remoteLabel;           // "REM" while remote clients are connected
    QPushButton *m_powerButton;      // save settings (when connected) and end
    QPushButton *m_saveButton;       // MS: save the present settings into a preset
    QPushButton *m_recallButton;     // MR: recall a preset
    QPushButton *m_amModeButton;     // next modulation kind
    QPushButton *m_sweepButton;      // Sweep / Pause
    QPushButton *m_stopButton;       // output off/on, ends a sweep
    QPushButton *m_upButton;         // carrier up by one step
    QPushButton *m_downButton;       // carrier down by one step
    QPushButton *m_infoButton;       // device information panel
    QPushButton *m_stepButton;       // next tuning step
    QPushButton *m_cwButton;         // opens the radiotelegraph frame (KVT 20 only)
    QPushButton *m_directInButton;   // shows or hides the direct-entry row
    QPushButton *m_configButton;     // setup exchange (KVT 20 only)
    QFrame *m_directEntryFrame;      // frame of the direct-entry row
    QLabel *m_carrierEntryLabel;     // "Carrier freq. :"
    QLineEdit *m_carrierEntry;       // carrier frequency box
    QLabel *m_modulationEntryLabel;  // "Modulation freq. :"
    QLineEdit *m_modulationEntry;    // modulation frequency box

    // The subsystems, declared in the order they are built. Members go in the reverse
    // order, so each subsystem goes before those it was built on (the firmware update
    // first, start-up last), all of them before the panel's controls.
    // They are children of the window too (tests find them there); being members, they
    // are gone before the window deletes its children.
    std::unique_ptr<StartupWindows> m_startupWindows; // search and failure windows
    std::unique_ptr<Power> m_power;
    std::unique_ptr<Tuning> m_tuning;
    std::unique_ptr<TelegraphPanel> m_telegraphPanel;
    std::unique_ptr<ModulationControl> m_modulation;
    std::unique_ptr<SweepControl> m_sweep;
    std::unique_ptr<PresetControl> m_presets;
    std::unique_ptr<InfoPanel> m_infoPanel;
    std::unique_ptr<SetupExchange> m_setupExchange; // Config
    std::unique_ptr<FirmwareUpdate> m_firmwareUpdate;
    std::unique_ptr<FirmwareUpdateDialog> m_firmwareDialog; // created on first use
};
