#pragma once

#include "link/devicestate.h"
#include "link/services.h"

#include <QPointer>
#include <QWidget>
#include <memory>
#include <qcoro/qcorotask.h>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class ClickLabel;
class Lamp;
class Link;
class Ticker;
class WaitSet;
class PresetsWindow;
class ConnectionFailureDialog;
class SetupDialog;
class SetupExchange;
class Polling;
class TelegraphPanel;
struct ReplyEffects;

// The main window: the instrument's front panel. It owns the one DeviceState, the
// link to the generator and the panel's timers, runs the start-up (settings file, port
// discovery, first queries), polls every 4 s, and carries the handlers of the panel's
// buttons. The handlers live beside their subject: tuning, modulation and sweep in
// panel/, presets and the radiotelegraph frame in presets/.
class MainWindow final : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(const Services &services, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Runs the load step: settings file, port discovery, the first queries, then
    // polling; shows the window at its end. Call once, from the running event loop.
    void start();

    DeviceState &state() { return m_state; }
    Link &link() { return *m_link; }

    // Renders DeviceState on the panel.
    void displayAll();
    // The poll: a 1 s wait, then "G", "I", "J", "H" 100 ms apart. Like every wait,
    // it throws WaitCancelled out of the awaiting procedure when the window is going
    // away; co_await it as a statement of its own (see link/waits.h).
    QCoro::Task<> readParams();
    // Reads the twelve presets into the presets window.
    QCoro::Task<bool> readPresets();

    // Window heights of the compact panel and with the direct-entry row shown.
    static int collapsedHeight();
    static int expandedHeight();

    PresetsWindow &presetsWindow(); // the presets window, created on first use
    SetupDialog &setupDialog(); // the setup window, created on first use (holds the language box)

    // The panel's controls, named as on the instrument drawing.
    QFrame *displayWindow;            // outline of the dark display window
    ClickLabel *carrierReadout;       // carrier readout; a click opens the carrier dialog
    QLabel *carrierUnitLabel;         // "Hz" beside the carrier readout
    QLabel *modulationPrefixLabel;    // "AM :" before the modulation readout
    ClickLabel *modulationReadout;    // modulation readout; a click opens the modulation dialog
    QLabel *modulationUnitLabel;      // "Hz" beside the modulation readout
    QLabel *modeLine;                 // mode line: MAN, P n or SWEEP
    QLabel *modKindLine;              // modulation-kind line
    QLabel *stepLine;                 // tuning-step line
    QLabel *headingLabel;             // heading "PC Control panel"
    QLabel *modelLabel;               // model name
    QLabel *subtitleLabel;            // subtitle with the frequency range
    QLabel *noticeLabel;              // maker's notice
    Lamp *outputLamp;                 // Output lamp
    QLabel *outputLampLabel;          // "Output"
    Lamp *sweepLamp;                  // Sweep lamp
    QLabel *sweepLampLabel;           // "Sweep"
    Lamp *readyLamp;                  // Ready lamp, lit when the generator has identified itself
    QLabel *readyLampLabel;           // "Ready"
    QPushButton *powerButton;         // Power: save settings (when connected) and end
    QPushButton *saveButton;          // MS: save the present settings into a preset
    QPushButton *recallButton;        // MR: recall a preset
    QPushButton *amModeButton;        // AM Mode: next modulation kind
    QPushButton *sweepButton;         // Sweep / Pause
    QPushButton *stopButton;          // STOP: output off/on, ends a sweep
    QPushButton *upButton;            // Up: carrier up by one step
    QPushButton *downButton;          // Down: carrier down by one step
    QPushButton *infoButton;          // Info: device information panel
    QPushButton *stepButton;          // Step: next tuning step
    QPushButton *cwButton;            // CW: opens the radiotelegraph frame (KVT 20 only)
    QPushButton *directInButton;      // Direct in: shows or hides the direct-entry row
    QPushButton *configButton;        // Config: setup exchange (KVT 20 only)
    QFrame *directEntryFrame;         // frame of the direct-entry row
    QLabel *carrierEntryLabel;        // "Carrier freq. :"
    QLineEdit *carrierEntry;          // carrier frequency box
    QLabel *modulationEntryLabel;     // "Modulation freq. :"
    QLineEdit *modulationEntry;       // modulation frequency box
    TelegraphPanel *m_telegraphPanel; // radiotelegraph frame, shown over the display window by CW

Q_SIGNALS:
    // The load step has ended (connected, polling) and the window is shown.
    void loaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildPanel();
    void retranslate();
    QCoro::Task<> load();
    QCoro::Task<bool> discoverPort();
    void applyReply(const ReplyEffects &effects);
    void pollTick();
    void scanTick();
    void powerClicked();
    void setSearchText(const QString &text);
    void endProgram();

    // Tuning (panel/tuning.cpp)
    void connectTuning();
    QCoro::Task<> carrierReadoutClicked();
    QCoro::Task<> modulationReadoutClicked();
    void upClicked();
    void downClicked();
    void stepClicked();
    void directInClicked();
    bool directEntryKey(QLineEdit *box, QKeyEvent *event);
    QCoro::Task<> frequencyDialog(bool carrier); // the carrier (true) or modulation dialog
    bool m_carrierDialogBusy = false;            // a carrier answer is being sent and read back
    bool m_modulationDialogBusy = false;         // the same for the modulation dialog
    // Modulation and output (panel/modulation.cpp)
    void connectModulation();
    void amModeClicked();
    void stopClicked();
    void cwClicked();
    // Sweep (panel/sweep.cpp)
    void connectSweep();
    void sweepClicked();
    // Presets (presets/presetactions.cpp)
    void connectPresets();
    QCoro::Task<> saveClicked();
    QCoro::Task<> recallClicked();
    // Radiotelegraph (presets/radiotelegraph.cpp)
    void connectRadiotelegraph();
    void repeatTick();

    Services m_services;
    DeviceState m_state;
    std::unique_ptr<Link> m_link;
    std::unique_ptr<WaitSet> m_scanWaits;
    std::unique_ptr<Ticker> m_pollTimer;   // poll every 4th tick
    std::unique_ptr<Ticker> m_scanTimer;   // free-running second counter of port discovery
    std::unique_ptr<Ticker> m_repeatTimer; // radiotelegraph repeat
    PresetsWindow *m_presetsWindow = nullptr;
    ConnectionFailureDialog *m_failureDialog = nullptr;
    std::unique_ptr<Polling> m_polling;             // the poll timer, as the setup exchange sees it
    std::unique_ptr<SetupExchange> m_setupExchange; // Config
    QLabel *m_searchWindow = nullptr; // "Searching for the generator: COMn" during start-up
    QStringList m_portProblems;       // ports that exist but could not be used, and why
    bool m_started = false;
    bool m_ending = false;
};
