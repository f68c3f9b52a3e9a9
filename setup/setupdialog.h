// Setup and firmware: the setup window SetupDialog (display operator, coarse step, the
// language box) and, later, the firmware update and the language switch. Uses link/.
#pragma once

#include <QDialog>

class QCheckBox;
struct DeviceState;

// The setup window. Its language box "Čeština" decides the language of the captions
// and of the sweep dialogs for the rest of the run.
class SetupDialog final : public QDialog {
    Q_OBJECT
public:
    explicit SetupDialog(DeviceState &state, QWidget *parent = nullptr);

    // The language box "Čeština" is ticked.
    bool czechChecked() const;

private:
    DeviceState &m_state;
    QCheckBox *m_czechBox; // "Čeština": Czech captions
};
