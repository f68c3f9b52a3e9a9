#pragma once

#include <QObject>
#include <functional>

class QPushButton;
struct PanelContext;

// Modulation and output: AM Mode steps the modulation kind, STOP switches the output
// off and on (and ends a sweep), CW opens the radiotelegraph frame.
class ModulationControl final : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QPushButton *amModeButton;
        QPushButton *stopButton;
        QPushButton *cwButton;
        QPushButton *sweepButton;            // its caption returns to "Sweep" on STOP
        std::function<void()> openTelegraph; // lays the radiotelegraph frame over the display
    };

    ModulationControl(const PanelContext &context, Controls controls, QObject *parent = nullptr);

private:
    void nextModulationKind();
    void stop();
    void openTelegraph();

    const PanelContext &m_context;
    Controls m_controls;
};
