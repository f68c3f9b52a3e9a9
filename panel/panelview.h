// Control panel: what the main window MainWindow shows and the handlers of its buttons.
//
// panel/ holds the pure renderer behind displayAll (this header: library kvtpanelview,
// Qt Core only), and the library kvtpanel: the main window MainWindow and the tuning,
// modulation/output and sweep handlers. It reads
// link/ (DeviceState, number rules), drives the generator through instrument/ and opens
// presets/ and setup/ windows.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

struct DeviceState;

// Everything displayAll puts on the panel, computed from DeviceState alone.
struct PanelView {
    QString carrier;                // carrierReadout, grouped frequency or "0"
    QString modulation;             // modulationReadout, plain decimal, "" or "OFF"
    QString step;                   // stepLine, "Step : 10kHz"
    std::optional<QString> modKind; // modKindLine; nullopt leaves the line as it was
    QString mode;                   // modeLine, "MAN", "P 3" or "SWEEP"
    bool outputLamp = false;        // outputLamp lit
    bool sweepLamp = false;         // sweepLamp lit
    bool upDownEnabled = true;      // upButton and downButton
};

// What the panel keeps of its own beside the record.
struct PanelViewState {
    int32_t tuneStep = 10000; // Hz, the step of Up and Down (Tuning's)
    // STOP was pressed since the last sweep began: the Sweep button says "Sweep" on
    // every press, even when a negative OutputOn leaves the record sweeping.
    bool stoppedSinceSweep = false;
    bool lineUp = true;    // the line has not been lost since the last identity line
    int remoteClients = 0; // remote control clients connected
};

// The captions drawn from the record and the panel's own state whatever it does,
// also while Morse keying holds the readouts.
struct PanelCaptions {
    QString sweepButton; // sweepButton, "Sweep" or "Pause"
    bool kvt20Controls;  // cwButton and configButton enabled (a KVT 20 on the line)
    bool wideSubtitle;   // the generator's own 0-70 MHz subtitle, else the translated one
    QString model;       // modelLabel; empty leaves the first text
    bool remote;         // remoteLabel "REM" shown
};
inline const QString WideSubtitle = QStringLiteral("Service Signal Generator 0-70Mhz");
PanelCaptions renderCaptions(const DeviceState &state, const PanelViewState &own);

// The step line text without its "Step : " prefix: "1MHz", "10kHz", "100Hz".
QString stepText(qint32 tuneStep);

// Renders the state; nullopt while a radiotelegraph text is being keyed, when the
// panel must stay exactly as it is.
std::optional<PanelView> renderPanel(const DeviceState &state, const PanelViewState &own = {});
