#pragma once

#include "link/devicestate.h"
#include "panel/dialogs.h"

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
class Form2;
class Form3;
class Form5;
class Frame2;
struct ReplyEffects;

// The main window: the instrument's front panel. It owns the one DeviceState, the
// link to the generator and the panel's timers, runs the start-up (settings file, port
// discovery, first queries), polls every 4 s, and carries the handlers of the panel's
// buttons. The handlers live beside their subject: tuning, modulation and sweep in
// panel/, presets and the radiotelegraph frame in presets/.
class Form1 final : public QWidget {
    Q_OBJECT
public:
    explicit Form1(const Services &services, QWidget *parent = nullptr);
    ~Form1() override;

    // Runs the load step: settings file, port discovery, the first queries, then
    // polling; shows the window at its end. Call once, from the running event loop.
    void start();

    DeviceState &state() { return m_state; }
    Link &link() { return *m_link; }

    // Renders DeviceState on the panel.
    void DisplayAll();
    // The poll: a 1 s wait, then "G", "I", "J", "H" 100 ms apart. Like every wait,
    // it throws WaitCancelled out of the awaiting procedure when the window is going
    // away; co_await it as a statement of its own (see link/waits.h).
    QCoro::Task<> ReadParams();
    // Reads the twelve presets into the presets window.
    QCoro::Task<bool> GetPresets();

    // Window heights of the compact panel and with the direct-entry row shown.
    static int collapsedHeight();
    static int expandedHeight();

    Form2 &form2(); // the presets window, created on first use
    Form5 &form5(); // the setup window, created on first use (holds the language box)
    bool czechCaptions();

    // The panel's controls, named as on the instrument drawing.
    QFrame *Shape1;         // outline of the dark display window
    ClickLabel *Label1;     // carrier readout; a click opens the carrier dialog
    QLabel *Label4;         // "Hz" beside the carrier readout
    QLabel *Label5;         // "AM :" before the modulation readout
    ClickLabel *Label2;     // modulation readout; a click opens the modulation dialog
    QLabel *Label3;         // "Hz" beside the modulation readout
    QLabel *Label6;         // mode line: MAN, P n or SWEEP
    QLabel *Label12;        // modulation-kind line
    QLabel *Label11;        // tuning-step line
    QLabel *Label9;         // heading "PC Control panel"
    QLabel *Label7;         // model name
    QLabel *Label8;         // subtitle with the frequency range
    QLabel *Label13;        // maker's notice
    Lamp *Shape10;          // Output lamp
    QLabel *Label16;        // "Output"
    Lamp *Shape11;          // Sweep lamp
    QLabel *Label17;        // "Sweep"
    Lamp *Shape7;           // Ready lamp, lit when the generator has identified itself
    QLabel *Label10;        // "Ready"
    QPushButton *Command1;  // Power: save settings (when connected) and end
    QPushButton *Command2;  // MS: save the present settings into a preset
    QPushButton *Command3;  // MR: recall a preset
    QPushButton *Command4;  // AM Mode: next modulation kind
    QPushButton *Command5;  // Sweep / Pause
    QPushButton *Command6;  // STOP: output off/on, ends a sweep
    QPushButton *Command7;  // Up: carrier up by one step
    QPushButton *Command8;  // Down: carrier down by one step
    QPushButton *Command9;  // Info: device information panel
    QPushButton *Command10; // Step: next tuning step
    QPushButton *Command11; // CW: opens the radiotelegraph frame (KVT 20 only)
    QPushButton *Command12; // Direct in: shows or hides the direct-entry row
    QPushButton *Command16; // Config: setup exchange (KVT 20 only)
    QFrame *Shape9;         // frame of the direct-entry row
    QLabel *Label14;        // "Carrier freq. :"
    QLineEdit *Text1;       // carrier frequency box
    QLabel *Label15;        // "Modulation freq. :"
    QLineEdit *Text2;       // modulation frequency box
    Frame2 *m_frame2;       // radiotelegraph frame, shown over the display window by CW

Q_SIGNALS:
    // The load step has ended (connected, polling) and the window is shown.
    void loaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildPanel();
    QCoro::Task<> load();
    QCoro::Task<bool> discoverPort();
    void applyReply(const ReplyEffects &effects);
    void Timer1_Tick();
    void Timer3_Tick();
    void Command1_Click();
    void setSearchText(const QString &text);
    void endProgram();

    // Tuning (panel/tuning.cpp)
    void connectTuning();
    QCoro::Task<> Label1_Click();
    QCoro::Task<> Label2_Click();
    void Command7_Click();
    void Command8_Click();
    void Command10_Click();
    void Command12_Click();
    bool directEntryKey(QLineEdit *box, QKeyEvent *event);
    QCoro::Task<> frequencyDialog(bool carrier); // the carrier (true) or modulation dialog
    bool m_carrierDialogBusy = false;            // a carrier answer is being sent and read back
    bool m_modulationDialogBusy = false;         // the same for the modulation dialog
    // Modulation and output (panel/modulation.cpp)
    void connectModulation();
    void Command4_Click();
    void Command6_Click();
    void Command11_Click();
    // Sweep (panel/sweep.cpp)
    void connectSweep();
    void Command5_Click();
    // Presets (presets/presetactions.cpp)
    void connectPresets();
    QCoro::Task<> Command2_Click();
    QCoro::Task<> Command3_Click();
    // Radiotelegraph (presets/radiotelegraph.cpp)
    void connectRadiotelegraph();
    void Timer4_Tick();

    Services m_services;
    DeviceState m_state;
    std::unique_ptr<Link> m_link;
    std::unique_ptr<WaitSet> m_scanWaits;
    std::unique_ptr<Ticker> Timer1; // poll every 4th tick
    std::unique_ptr<Ticker> Timer3; // free-running second counter of port discovery
    std::unique_ptr<Ticker> Timer4; // radiotelegraph repeat
    Form2 *m_form2 = nullptr;
    Form3 *m_form3 = nullptr;
    Form5 *m_form5 = nullptr;
    QLabel *m_searchWindow = nullptr; // "Searching for the generator: COMn" during start-up
    QStringList m_portProblems;       // ports that exist but could not be used, and why
    bool m_started = false;
    bool m_ending = false;
};
