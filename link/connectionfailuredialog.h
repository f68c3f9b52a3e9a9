#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QPushButton;
struct DeviceState;

// The connection-failure window: shown when no port up to 64 answered. Retry starts
// discovery again at port 2, Exit ends the program. Below its fixed texts it lists the
// ports that exist but could not be used, and why, so the user knows what to fix.
class ConnectionFailureDialog final : public QDialog {
    Q_OBJECT
public:
    explicit ConnectionFailureDialog(DeviceState &state, QWidget *parent = nullptr);

    void setPortProblems(const QStringList &problems);

    QLabel *headingLabel;      // heading "Communication error !"
    QLabel *adviceLabel;       // explanation of what to check
    QLabel *cableImage;        // picture of a disconnected cable
    QLabel *portProblemsLabel; // the ports that could not be used, and why
    QPushButton *retryButton;  // Retry
    QPushButton *exitButton;   // Exit

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();

    DeviceState &m_state;
};
