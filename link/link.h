#pragma once

#include "link/replyparser.h"
#include "link/waits.h"

#include <QObject>

struct DeviceState;
class SerialPort;
class TimeSource;

// The line to the generator: opens the port (openPort), frames every command
// (sendCommand), reads and parses every reply, and provides the main window's waits
// (delay), which end early as soon as a reply has been handled.
class Link final : public QObject {
    Q_OBJECT
public:
    Link(DeviceState &state, SerialPort &port, TimeSource &time, QObject *parent = nullptr);
    ~Link() override;

    // Opens DeviceState::portNumber with the fixed line settings. Returns 0 or the
    // port's error number (8002 no such port, 8015 cannot configure, others).
    int openPort();
    void closePort();
    bool isOpen() const;

    // Sends the text followed by CR LF, one byte per character of the system code
    // page. Dropped silently while the port is closed.
    void sendCommand(const QString &text);

    // A wait of `ms`; ends early when a reply is handled. Write it as a statement of
    // its own, `co_await m_link->delay(100);`, never inside an if or while condition
    // (see link/waits.h); it throws WaitCancelled when the window is going away.
    [[nodiscard]] WaitSet::WaitOp delay(int ms) { return m_waits.wait(ms); }
    // A wait for the reply to a query: ends when a frame with this letter (for
    // example 'K', 'B', 'T', 'Y', 'V') has been handled or when `ms` have passed;
    // other replies do not end it. Written as a statement of its own, like delay().
    [[nodiscard]] WaitSet::WaitOp replyWait(QChar letter, int ms) {
        return m_waits.waitFor(letter, ms);
    }
    WaitSet &waits() { return m_waits; }

    SerialPort &port() { return m_port; }
    const ReplyParser &parser() const { return m_parser; }

    // How long the receive handler lets a burst arrive before reading, and how much
    // one read takes. The parser keeps a frame cut by a read and completes it with the
    // next one, so nothing needs to settle: replies are read on the next turn of the
    // event loop, and a round trip costs the line time and little more.
    static constexpr int ReceiveSettleMs = 0;
    static constexpr qint64 ReadSize = 256;

Q_SIGNALS:
    // One identity line or reply frame has been handled and stored in DeviceState.
    void replyHandled(const ReplyEffects &effects);
    // The port reported that the device went away; it has been closed.
    void portLost();

private:
    void onReadyRead();
    void readNow();

    DeviceState &m_state;
    SerialPort &m_port;
    TimeSource &m_time;
    ReplyParser m_parser;
    WaitSet m_waits;
    quint64 m_readTimer = 0;
};

// Text to the single bytes that go on the line (Windows-1250, the code page of the
// generator's Czech users; a character it cannot hold becomes "?", one byte, so the
// rest of the line keeps its place).
QByteArray toLineBytes(const QString &text);
