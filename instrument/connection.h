#pragma once

#include "instrument/connectionwindows.h"

#include <QList>
#include <QObject>
#include <functional>
#include <memory>
#include <qcoro/qcorotask.h>

class Link;
class Polling;
class Ticker;
class TimeSource;
class WaitSet;
struct DeviceState;
struct ReplyEffects;

// Start-up, port discovery, loss and reconnection, a part of the Instrument. Opens the
// ports one after another from the saved number until a generator announces itself (a
// small search window says which port is tried; after COM64 the failure window offers
// Retry or Exit; both are shown through ConnectionWindows), asks for the first values,
// then switches the poll (Poller) on. When the port is lost later (the cable pulled),
// the poll stops and the same port is tried again every RetryMs until the generator
// identifies itself; it is then queried as at start-up. Power (panel/power.h) saves the
// settings and ends the program through endProgram(). Without windows (none set)
// nothing is shown and a search that found nothing ends the program. The program
// without a window logs instead (ConnectionLog) and searches again after a pause.
class Connection final : public QObject {
    Q_OBJECT
public:
    // What start-up works with; the Instrument owns all of it.
    struct Context {
        DeviceState &state;
        Link &link;
        Polling &polling;
        TimeSource &time;
        std::function<void()> quit; // ends the program at once
        // Tells the user that a procedure failed for a reason of the program's own.
        std::function<void(const QString &what)> reportFailure;
    };
    explicit Connection(Context context, QObject *parent = nullptr);
    ~Connection() override;

    void setWindows(ConnectionWindows *windows) { m_windows = windows; }
    // Discovery, the first queries and the start of polling. True when connected;
    // false when the user chose Exit (the program is then ending).
    QCoro::Task<bool> connectGenerator();

    // A generator was found once: its port number is worth keeping even while its line
    // is lost at the moment.
    bool generatorFound() const { return m_found; }
    // Ends the program at once without saving.
    void endProgram();
    bool ending() const { return m_ending; }
    // Closes the port (the main window closes); waiting procedures are cancelled.
    void shutDown();

    // How often the lost port is tried again. A port that opens but stays silent is
    // given the same 5 to 6 s as during discovery before it is closed and retried.
    static constexpr int RetryMs = 1500;

private:
    QCoro::Task<bool> discoverPort();
    // The first queries after an identity line (model known), then the poll.
    QCoro::Task<> queryAndPoll();
    // Waits for the identity line on the port just opened, at most the discovery's
    // 5 to 6 s; true when the generator has answered.
    QCoro::Task<bool> awaitIdentity();
    void onPortLost();
    QCoro::Task<> reconnect();
    void onReply(const ReplyEffects &effects);
    void scanTick();

    Context m_context;
    ConnectionWindows *m_windows = nullptr;
    std::unique_ptr<WaitSet> m_scanWaits;
    // The pause between tries of a lost port, and between passes of discovery
    std::unique_ptr<WaitSet> m_retryWaits;
    std::unique_ptr<Ticker> m_scanTimer; // free-running second counter of discovery
    int m_scanTicks = 0;
    ConnectionWindows::SearchReport m_pass; // what the present pass of discovery tried
    bool m_ending = false;
    bool m_found = false;        // discovery has found the generator once
    bool m_reconnecting = false; // the lost port is being tried again
};
