#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QPushButton;
struct DeviceState;

// The connection-failure window: shown when no port up to 64 answered. Retry starts
// discovery again at port 2, Exit ends the program. Below its fixed texts it lists the
// ports that exist but could not be used, and why, so the user knows what to fix.
class Form3 final : public QDialog {
    Q_OBJECT
public:
    explicit Form3(DeviceState &state, QWidget *parent = nullptr);

    void setPortProblems(const QStringList &problems);

    QLabel *Label1;        // heading "Communication error !"
    QLabel *Label2;        // explanation of what to check
    QLabel *Image1;        // picture of a disconnected cable
    QLabel *Label3;        // the ports that could not be used, and why
    QPushButton *Command1; // Retry
    QPushButton *Command2; // Exit

private:
    DeviceState &m_state;
};
