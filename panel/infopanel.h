#pragma once

#include <QFrame>
#include <functional>
#include <qcoro/qcorotask.h>

class InfoExchange;
class QDialog;
class QLabel;
class QPushButton;
struct PanelContext;

// The information panel, drawn over the main window's display: the generator's model,
// serial number, production date and firmware version, the port and line settings and
// the program's version. A double-click on "Firmware version :" opens the
// firmware-update window; in the factory service mode (unlocked by a key sequence on
// OK) a double-click on the date stamps today's date into the generator.
class InfoPanel final : public QFrame {
    Q_OBJECT
public:
    struct Controls {
        QPushButton *infoButton; // the main window's Info button
        QRect place;             // where the panel lies over the main window's display
        // The firmware-update window (created on first use by the owner); the panel
        // shows it modally through Services::dialogs.
        std::function<QDialog *()> firmwareWindow;
    };
    // The panel is a child of the context's window.
    InfoPanel(const PanelContext &context, Controls controls);
    ~InfoPanel() override;

    // The Info button: re-reads B and T, fills the panel and shows it with OK focused.
    void infoClicked();

    // Progress of the service-mode key sequence: 0..3 letters typed, ServiceMode once
    // unlocked.
    int serviceKeyState() const { return m_serviceKeyState; }
    static constexpr int ServiceMode = 6;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void retranslate();
    QCoro::Task<> showInfo();
    void fillValues();
    void serviceKey(const QString &text);
    void firmwareCaptionDoubleClicked();
    void dateDoubleClicked();
    void startInfo();

    const PanelContext &m_context;
    Controls m_controls;
    InfoExchange *m_exchange;
    int m_serviceKeyState = 0;
    bool m_showing = false; // the Info steps are running

    QLabel *m_titleLabel;        // "KVT System PC Control Panel"
    QLabel *m_webLabel;          // the maker's web address
    QLabel *m_modelCaption;      // "Device name :"
    QLabel *m_modelValue;        // ModelName
    QLabel *m_serialCaption;     // "Serial number :"
    QLabel *m_serialValue;       // "TNV" + DeviceId
    QLabel *m_dateCaption;       // "Date of production :"
    QLabel *m_dateValue;         // ProductionDate; double-click stamps today in service mode
    QLabel *m_firmwareCaption;   // "Firmware version :"; double-click opens the update
    QLabel *m_firmwareValue;     // FirmwareVersion
    QLabel *m_portCaption;       // "Serial port :"
    QLabel *m_portValue;         // "COM" + PortNumber
    QLabel *m_connectionCaption; // "Connection :"
    QLabel *m_connectionValue;   // "115200,n,8,1"
    QLabel *m_programVersion;    // "version 3.2.3"
    QPushButton *m_okButton;     // hides the panel; takes the service-mode keys
};
