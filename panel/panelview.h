// Control panel: what the main window Form1 shows and the handlers of its buttons.
//
// panel/ holds the pure renderer behind DisplayAll (this header, Qt Core only), the
// main window Form1 and the tuning, modulation/output and sweep handlers. It uses
// link/ (DeviceState, Link, number rules) and opens presets/ and setup/ windows.
#pragma once

#include <QString>
#include <optional>

struct DeviceState;

// Everything DisplayAll puts on the panel, computed from DeviceState alone.
struct PanelView {
    QString carrier;                // Label1, grouped frequency or "0"
    QString modulation;             // Label2, plain decimal, "" or "OFF"
    QString step;                   // Label11, "Step : 10kHz"
    std::optional<QString> modKind; // Label12; nullopt leaves the line as it was
    QString mode;                   // Label6, "MAN", "P 3" or "SWEEP"
    bool outputLamp = false;        // Shape10 lit
    bool sweepLamp = false;         // Shape11 lit
    bool upDownEnabled = true;      // Command7 and Command8
};

// The step line text without its "Step : " prefix: "1MHz", "10kHz", "100Hz".
QString stepText(qint32 tuneStep);

// Renders the state; nullopt while a radiotelegraph text is being keyed, when the
// panel must stay exactly as it is.
std::optional<PanelView> renderPanel(const DeviceState &state);
