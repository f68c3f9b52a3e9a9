#pragma once

#include <QObject>

class Connection;
class QPushButton;
struct PanelContext;

// The Power button: saves the settings file when a generator has been found (its port
// number is worth keeping), tells the user when that failed, then ends the program.
class Power final : public QObject {
    Q_OBJECT
public:
    Power(const PanelContext &context, Connection &connection, QPushButton *powerButton,
          QObject *parent = nullptr);

    void press();

private:
    const PanelContext &m_context;
    Connection &m_connection;
};
