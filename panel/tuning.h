#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <qcoro/qcorotask.h>

class ClickLabel;
class QKeyEvent;
class QLineEdit;
class QPushButton;
struct PanelContext;

// Frequency tuning: the carrier and modulation dialogs (a click on a readout), Up and
// Down by the tuning step, Step (the next step), and the direct-entry row (Direct in
// shows or hides it; Enter in a box sends its value).
class Tuning final : public QObject {
    Q_OBJECT
public:
    // The controls tuning drives, all owned by the main window.
    struct Controls {
        ClickLabel *carrierReadout;
        ClickLabel *modulationReadout;
        QPushButton *upButton;
        QPushButton *downButton;
        QPushButton *stepButton;
        QPushButton *directInButton;
        QLineEdit *carrierEntry;
        QLineEdit *modulationEntry;
        std::function<bool()> directEntryShown;        // the row below the panel is shown
        std::function<void(bool)> setDirectEntryShown; // grows or shrinks the window
    };

    Tuning(const PanelContext &context, Controls controls, QObject *parent = nullptr);

    // The step of Up and Down in Hz: the panel's own, shown on the step line at the
    // next redraw.
    int32_t step() const { return m_step; }
    void setStep(int32_t hz);

Q_SIGNALS:
    // Step chose the next step: the step line shows it.
    void stepChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QCoro::Task<> frequencyDialog(bool carrier); // the carrier (true) or modulation dialog
    void up();
    void down();
    void nextStep();
    void toggleDirectEntry();
    bool directEntryKey(QLineEdit *box, QKeyEvent *event);

    const PanelContext &m_context;
    Controls m_controls;
    int32_t m_step = 10000;
    bool m_carrierDialogBusy = false;    // a carrier answer is being sent and read back
    bool m_modulationDialogBusy = false; // the same for the modulation dialog
};
