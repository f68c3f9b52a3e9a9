// Setup and firmware (library kvtsetup, on kvtwidgets): the setup window SetupDialog
// (display operator, coarse step, the language box "Čeština"), the interface Language,
// the setup exchange SetupExchange behind the main window's Config button, and the
// firmware update's window (the update itself is instrument/'s FirmwareUpdate). Drives
// the generator through instrument/ (the Instrument, its Link and Polling) and uses
// widgets/ (Services); the main window in panel/ creates SetupExchange and owns the
// Language.
#pragma once

#include "setup/setuprules.h"

#include <QDialog>
#include <optional>

class Language;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The setup window: the generator's display operator mode and value and its coarse
// tuning step, as the setup exchange gave them. Save returns the typed values to send;
// Cancel (and the window's close control, and Escape) returns nothing, and the window
// then holds all three as "nothing to send" (-1). Created on first use and only hidden
// afterwards: its language box keeps its tick for the program's run and chooses the
// program's Language.
class SetupDialog final : public QDialog {
    Q_OBJECT
public:
    explicit SetupDialog(Language &language, QWidget *parent = nullptr);

    // The values to show the next time; what the window returns is cleared.
    void setValues(const SetupRules::Values &values);
    const SetupRules::Values &values() const { return m_values; }
    // After the window closed: the values Save returned, nothing after Cancel.
    const std::optional<SetupRules::Values> &result() const { return m_result; }
    // Fills the window from its values: the mode's option button (none when the mode
    // is not 0..4) and both text boxes. Runs each time the window is shown, and must
    // run again when the firmware-update window opened from here closes; values typed
    // but not saved are replaced.
    void loadFields();

    // Save sends the values to the generator: it is offered only while one is
    // connected. Values saved while the line is lost would reach no generator, yet the
    // panel would keep them as the generator's.
    void setSaveAllowed(bool allowed);

public Q_SLOTS:
    // Cancel: nothing to send.
    void reject() override;

Q_SIGNALS:
    // "Upgrade FW" was clicked: the firmware-update window should open over this one.
    void upgradeRequested();

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void retranslate();
    void modeClicked(int mode);
    void save();

    SetupRules::Values m_values; // an option click stores the mode here at once
    std::optional<SetupRules::Values> m_result;
    Language &m_language;
    QLabel *m_displayLabel;         // heading of the option group
    QButtonGroup *m_modeGroup;      // the five modes; the id is the mode code
    QRadioButton *m_oneToOneButton; // 0: the display shows Fosc
    QRadioButton *m_addButton;      // 1: Fosc + operator
    QRadioButton *m_subButton;      // 2: Fosc - operator
    QRadioButton *m_multButton;     // 3: Fosc x operator
    QRadioButton *m_divButton;      // 4: Fosc / operator
    QLabel *m_operatorLabel;        // "Operator :"
    QLineEdit *m_operatorEntry;     // operator value
    QLabel *m_coarseStepLabel;      // "Coarse tuning step :"
    QLineEdit *m_coarseStepEntry;   // coarse step in Hz
    QLabel *m_coarseStepUnitLabel;  // "Hz"
    QCheckBox *m_czechBox;          // "Čeština": Czech captions from now on
    QPushButton *m_upgradeButton;   // Upgrade FW
    QPushButton *m_saveButton;      // Save
    QPushButton *m_cancelButton;    // Cancel
};
