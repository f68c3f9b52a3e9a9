#pragma once

#include "link/replyparser.h"
#include "link/waits.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <qcoro/qcorotask.h>

struct DeviceState;
class LineTrace;

// One reply frame of the generator: its letter and what follows it, as received.
struct Frame {
    QChar letter;
    QString text;
};
class PortLoan;
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
    // Opens again the device that was open last (SerialPort::reopen); 0 or the error.
    int reopenPort();
    void closePort();
    // Lends the open port, COM<the record's port>, to an outside program (the firmware
    // uploader): it is closed here, and nothing else opens it (the retries after a lost
    // line leave it alone) until the loan ends.
    PortLoan lendPort();
    // Takes COM<portNumber> back (it becomes the record's port) and lends it at once,
    // with nothing waiting between: while the control link has the port open, its reader
    // would take what the bootloader says after the open's reset. `error` gets 0 or the
    // open's error number; after an error there is no loan (PortLoan::active() false)
    // and the port is no longer kept from the retries.
    PortLoan lendPort(int portNumber, int &error);
    bool handedOver() const { return m_handedOver; }
    // How many times the port has been opened: tells whoever opened it whether it is
    // still their opening (the firmware update may have borrowed it and given it back
    // meanwhile).
    quint64 opens() const { return m_opens; }
    bool isOpen() const;
    // A generator has identified itself on the open port and its line has not been
    // lost since.
    bool generatorConnected() const;
    // The port is gone (closed already, could not be opened again after it was
    // lent, or the generator did not come back on it): stops reading and
    // reports portLost, as when the device goes away.
    void portGone();

    // Sends the text followed by CR LF, one byte per character (toLineBytes). Dropped
    // silently while the port is closed. A text holding a control character (CR, LF,
    // TAB, ...) is refused whole and nothing is sent: a line break inside a command
    // would make the rest of it a second command of its own ("S5" saves a preset), and
    // a command with characters cut out of it may mean something else ("W7200000" CR
    // "1000 10" would become a sweep to 72 GHz). The entry boxes keep such characters
    // out (entryguard.h), so only a fault of the program reaches this. Returns whether
    // the command went out.
    bool sendCommand(const QString &text);

    // A wait of `ms`; ends early when a reply is handled. Write it as a statement of
    // its own, `co_await m_link->delay(100);`, never inside an if or while condition
    // (see link/waits.h); it throws WaitCancelled when the window is going away.
    [[nodiscard]] WaitSet::WaitOp delay(int ms) { return m_waits.wait(ms); }
    // Waits on `waits` (the caller's, which it wakes when a reply is handled and ends
    // with WaitCancelled when it goes away) until the generator's identity line has been
    // handled after the call (true), or `ms` have passed, or `givenUp` (when given) holds
    // at a wake (false). A negative `ms` sets no time: the caller gives up. Discovery and
    // the firmware update wait for the generator's greeting with it.
    QCoro::Task<bool> awaitIdentity(WaitSet &waits, int ms, std::function<bool()> givenUp = {});

    // One question to the generator: sends `command` and waits for the first reply
    // frame read after it whose letter is one of `letters` ("F" and "W" both answer
    // "G") and that `accepts` (when given) takes, at most `ms`. Returns that frame, or
    // nullopt when none came in time or the command could not be sent. The parser
    // stores every reply in the device record as always; the question only wakes on
    // one, so other procedures waiting on the same replies see them too. Throws
    // WaitCancelled when the program is going away, like every wait.
    QCoro::Task<std::optional<Frame>> ask(const QString &command, const QString &letters, int ms,
                                          std::function<bool(const Frame &)> accepts = {});
    WaitSet &waits() { return m_waits; }
    TimeSource &time() { return m_time; }

    // Every line sent and every frame received is also given to `trace` (none: no
    // trace). The trace must outlive the link or be removed first.
    void setTrace(LineTrace *trace) { m_trace = trace; }

    SerialPort &port() { return m_port; }
    const ReplyParser &parser() const { return m_parser; }

    // How much one read takes. Replies are read on the next turn of the event loop
    // after they arrive: the parser keeps a frame cut by a read and completes it with
    // the next one, so nothing needs to wait for the rest of a burst, and a round trip
    // costs the line time and little more.
    static constexpr qint64 ReadSize = 256;
    // An identity line that has not ended (no CR, LF or "#" after it) is handled as it
    // stands when nothing more has arrived for this long: a generator whose greeting
    // lacks its CR still connects. At 115200 bit/s 50 ms is about 580 characters, far
    // more than any gap inside one line, and short beside the 5 s port wait.
    static constexpr int IdentityQuietMs = 50;

Q_SIGNALS:
    // One identity line or reply frame has been handled and stored in DeviceState.
    void replyHandled(const ReplyEffects &effects);
    // The port reported that the device went away; it has been closed.
    void portLost();

private:
    friend class PortLoan;
    void handOverPort();
    // Opens COM<portNumber> as the record's port; 0 or the port's error number, as
    // openPort().
    int takeBackPort(int portNumber);
    void onReadyRead();
    void readNow();
    void handle(const std::vector<ReplyEffects> &effects, quint64 running);
    void answerQuestions(const Frame &frame);
    void cancelTimers();
    int opened(int error); // notes a port that opened in the trace

    DeviceState &m_state;
    SerialPort &m_port;
    TimeSource &m_time;
    ReplyParser m_parser;
    WaitSet m_waits;
    quint64 m_readTimer = 0;
    quint64 m_identityTimer = 0;
    LineTrace *m_trace = nullptr;
    bool m_handedOver = false;
    quint64 m_opens = 0;
    quint64 m_identities = 0; // identity lines handled so far

    // The questions waiting for their answer (ask), each taking the first frame read
    // after its command that it accepts.
    struct Question {
        QString letters;
        std::function<bool(const Frame &)> accepts;
        quint64 afterRead = 0; // reads up to this one came before the command
        std::optional<Frame> answer;
    };
    std::list<std::shared_ptr<Question>> m_questions;
    quint64 m_reads = 0; // reads handled so far
};

// The port lent to an outside program by Link::lendPort. The loan ends with
// giveBack(), which opens the port again as the control link's, or keepClosed(), which
// leaves it closed for discovery to open; a loan that goes away while it lasts gives the
// port back, however its holder ended (an exception, a wait cancelled).
class PortLoan {
public:
    PortLoan() = default;
    PortLoan(PortLoan &&other) noexcept;
    PortLoan &operator=(PortLoan &&other) noexcept;
    PortLoan(const PortLoan &) = delete;
    PortLoan &operator=(const PortLoan &) = delete;
    ~PortLoan();

    bool active() const { return m_active; }
    int portNumber() const { return m_portNumber; }
    // The port's system name (as /dev/ttyUSB0 or COM3) for the outside program.
    QString device() const { return m_device; }
    // Opens COM<portNumber> again as the control link's port: 0 or the port's error
    // number (then the port is no longer kept from the retries of a lost line, see
    // Link::portGone()). The loan has ended either way.
    int giveBack();
    // Ends the loan with the port left closed: discovery opens it again.
    void keepClosed();

private:
    friend class Link;
    PortLoan(Link &link, int portNumber, QString device);

    QPointer<Link> m_link;
    int m_portNumber = 0;
    QString m_device;
    bool m_active = false;
};

// Text to the single bytes that go on the line: on Windows the system's ANSI code
// page, elsewhere Windows-1250, the code page of the generator's Czech users (Qt's
// codec where this Qt has it, otherwise the program's own table). A character the
// code page cannot hold becomes "?", one byte, and so does a character outside the
// basic plane, so the rest of the line keeps its place.
QByteArray toLineBytes(const QString &text);
