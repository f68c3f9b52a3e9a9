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
    // `inChosenLanguage` gives a text of the dialogs in the language the language box
    // chooses now: the dialogs choose their language each time they run.
    SweepControl(const PanelContext &context, QPushButton *sweepButton,
                 std::function<QString(const char *)> inChosenLanguage, QObject *parent = nullptr);

private:
    void sweepOrPause();

    const PanelContext &m_context;
    QPushButton *m_sweepButton;
    std::function<QString(const char *)> m_inChosenLanguage;
};
