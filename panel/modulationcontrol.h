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
        std::function<void()> openTelegraph; // lays the radiotelegraph frame over the display
    };

    ModulationControl(const PanelContext &context, Controls controls, QObject *parent = nullptr);

Q_SIGNALS:
    // STOP was pressed: the Sweep button says "Sweep" until a sweep begins again.
    void stopPressed();

private:
    void nextModulationKind();
    void stop();
    void openTelegraph();

    const PanelContext &m_context;
    Controls m_controls;
};
