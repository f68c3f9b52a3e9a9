#pragma once

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <qcoro/qcorotask.h>

class ConnectionWindows;
class Ticker;
class WaitSet;
struct PanelContext;
struct ReplyEffects;

// Start-up, port discovery and shutdown. Reads the settings file, opens the ports one
// after another from the saved number until a generator announces itself (a small
// search window says which port is tried; after COM64 the failure window offers Retry
// or Exit; both are shown through ConnectionWindows), asks for the first values, then
// switches the poll (Poller) on. Power writes the settings file (when a generator is
// connected) and ends the program.
class Connection final : public QObject {
    Q_OBJECT
public:
    struct Controls {
        ConnectionWindows &windows; // the search and connection-failure windows
    };
    Connection(const PanelContext &context, Controls controls, QObject *parent = nullptr);
    ~Connection() override;

    // Reads KVT.INI beside the program into the device record; `speedAccepted` tells
    // whether a radiotelegraph speed may be taken. False when the file was unusable.
    bool readSettings(const std::function<bool(int)> &speedAccepted);
    // Discovery, the first queries and the start of polling. True when connected;
    // false when the user chose Exit (the program is then ending).
    QCoro::Task<bool> connectGenerator();

    // Power: saves the settings when a generator is connected, then ends the program.
    void power();
    // Ends the program at once without saving.
    void endProgram();
    bool ending() const { return m_ending; }
    // Closes the port (the main window closes); waiting procedures are cancelled.
    void shutDown();

private:
    QCoro::Task<bool> discoverPort();
    void onReply(const ReplyEffects &effects);
    void scanTick();

    const PanelContext &m_context;
    Controls m_controls;
    std::unique_ptr<WaitSet> m_scanWaits;
    std::unique_ptr<Ticker> m_scanTimer; // free-running second counter of discovery
    int m_scanTicks = 0;
    QStringList m_portProblems; // ports that exist but could not be used, and why
    QList<int> m_foundPorts;    // ports that exist, in the order tried
    bool m_ending = false;
};
