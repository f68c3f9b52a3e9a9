#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QPushButton;
struct PanelContext;

// Sweep: asks for the upper frequency, the step and the time, starts the sweep from
// the carrier, and pauses or resumes a running one.
class SweepControl final : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QPushButton *sweepButton; // Sweep / Pause
        // A text of the dialogs in the language the language box chooses now: the
        // dialogs choose their language each time they run.
        std::function<QString(const char *)> inChosenLanguage;
    };
    SweepControl(const PanelContext &context, Controls controls, QObject *parent = nullptr);

private:
    void sweepOrPause();

    const PanelContext &m_context;
    Controls m_controls;
};
