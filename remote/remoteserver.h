#pragma once

#include "instrument/instrument.h"
#include "link/link.h"
#include "remote/linesplitter.h"
#include "remote/scpiparser.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <qcoro/qcorotask.h>
#include <vector>

class LineTrace;
class QTcpServer;
class QTcpSocket;

// Remote control over TCP: SCPI command lines from up to MaxClients scripts, carried
// out one command line at a time in the order they arrived (whichever client sent
// them) through the Instrument's procedures, the same ones the panel's buttons call.
// Setting commands send their line; queries of the generator's values ask it afresh,
// each with its own question. The output and sweep commands decide what to send from
// the generator's own answers (is it sweeping, is its output on), not from the kept
// record, and check its answer afterwards. Commands that use the line wait while
// another exchange holds it (Instrument::LineHold). Each client has its own error queue
// and event status. The lines of a client that disconnects are still carried out, in
// order; only their answers go nowhere.
//
// Each client also has the status of a bench instrument (IEEE 488.2 and SCPI): its
// event status and service request enables, and the operation status, whose condition
// (a sweep runs, Morse is keyed) follows the Instrument as it changes, so that a sweep
// that started and ended between two of the client's reads is still latched in its
// event register. There is no service request over a socket: *STB? is read.
//
// Every command is registered once (commands(), in remoteserver.cpp): its header, the
// handler of its setting form and of its query form, and whether each form needs a
// generator connected, which is checked before the handler runs; the rest (the model's
// range, a model that keys Morse) the Instrument's procedures judge, and their outcome
// becomes the client's error. A command that fails for a reason of the program's
// own (its handler throws, or returns a failure) queues -300 with the reason, and a
// query answers 9.91E37: the client always gets its answer.
//
// Bounded whatever a client does: a fifth client is closed at once (a client that
// has gone keeps its place until its lines have run), an input line over
// LineSplitter::MaxLine bytes is discarded (-363, the connection stays), a client with
// more than MaxUnreadBytes of answers waiting is closed, and a client's input is not
// read further while MaxQueuedLines of its lines wait to be carried out (the socket's
// own buffer is bounded too, so the sender is held back by TCP).
class RemoteServer final : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxClients = 4;
    static constexpr qint64 MaxUnreadBytes = 64 * 1024;
    static constexpr int MaxQueuedLines = 32;
    static constexpr int ErrorQueueLength = 20;
    // How long a query waits for the generator's reply that carries its value.
    static constexpr int AnswerMs = 1000;
    // The longest Morse text a script may send (the generator's line stays short).
    static constexpr int MaxMorseText = 200;
    // The bits of the operation condition: a sweep runs, Morse is keyed.
    static constexpr int Sweeping = 1 << 3;
    static constexpr int Keying = 1 << 8;
    // TCP keep-alive on every client's socket: a client whose machine went away without
    // closing the connection is dropped after about KeepAliveIdleS + KeepAliveCount *
    // KeepAliveIntervalS seconds of silence (two minutes), not the system's two hours.
    static constexpr int KeepAliveIdleS = 60;
    static constexpr int KeepAliveIntervalS = 10;
    static constexpr int KeepAliveCount = 6;

    explicit RemoteServer(Instrument &instrument, QObject *parent = nullptr);
    ~RemoteServer() override;
    Q_DISABLE_COPY(RemoteServer)

    // Listens on `port` of 127.0.0.1 and ::1 (the loopback addresses only), and also
    // on `extraAddress` when it is not empty. False, with the reason in `error`, when
    // the loopback addresses cannot be listened on; nothing listens then. An extra
    // address that cannot be used (not an address, not this machine's, taken) leaves
    // the loopback addresses listening: true, with the address and the reason in
    // `error`.
    bool listen(quint16 port, const QString &extraAddress, QString *error);
    // The port listened on (useful when 0 asked for any free one).
    quint16 port() const;

    // The clients connected now (not those gone whose lines still run).
    int clientCount() const;
    // No line waits or runs.
    bool idle() const { return !m_running && m_jobs.empty(); }

    // Every line a client sends and every answer is recorded in `trace` (none: no
    // trace). The trace must outlive the server or be removed first.
    void setTrace(LineTrace *trace) { m_trace = trace; }

Q_SIGNALS:
    // A client connected or went away.
    void clientCountChanged(int count);

private:
    struct Error {
        int number;
        QString reason; // said after the standard text (-300)
    };
    struct Client {
        QPointer<QTcpSocket> socket;
        LineSplitter splitter;
        std::deque<Error> errors; // SYSTem:ERRor? takes the oldest
        int eventStatus = 0;      // *ESR? bits
        int queuedLines = 0;      // lines of this client waiting in m_jobs
        bool gone = false;        // disconnected: its lines run, its answers are dropped
        // The enables of the event status (*ESE) and of the service request (*SRE, whose
        // bit 6 is the request itself and never enabled).
        int eventEnable = 0;
        int serviceEnable = 0;
        // The operation status: its events, latched through the transition filters
        // (every rise, no fall) until read, and the enable of its summary (*STB? bit 7).
        int operationEvent = 0;
        int operationEnable = 0;
        int operationRising = 0x7fff;
        int operationFalling = 0;
        // Kept for its query: nothing is ever questionable.
        int questionableEnable = 0;
    };
    struct Job {
        int client;
        QByteArray line;
        bool overrun; // the line was too long: -363
    };

    void accept();
    void readInput(int id);
    void drop(int id);
    void clientGone(int id);
    void forgetIfDone(int id);
    void answer(int id, const QByteArray &text);
    void addError(int id, int error, const QString &reason = {});
    // Takes the Instrument's state into the operation condition, latching its changes
    // into every client's operation event register.
    void followOperation();
    // *STB?: errors waiting (bit 2), ESB (5), MSS (6), operation summary (7).
    static int statusByte(const Client &c);
    // The limit that MINimum or MAXimum stands for; none when the range is unknown.
    std::optional<double> limitOf(const ScpiCommand &command) const;
    void startRunning();
    QCoro::Task<> runJobs(std::shared_ptr<bool> alive);

    // One command being carried out for a client.
    struct Call {
        int id;
        ScpiCommand command;
        std::shared_ptr<bool> alive; // false: the server is gone, touch nothing
    };
    // What a handler ends with: the answer of a query (none: a setting command, or a
    // query whose error the handler has queued), or the reason it failed (-300).
    struct Reply {
        std::optional<QByteArray> answer;
        QString failure = {};
    };
    // What a form of a command needs before its handler runs.
    enum Need {
        NeedsGenerator = 1, // connected (-241), after the line is free
    };
    // Kept in the table for the program's life: a handler coroutine refers to it.
    using Handler = std::function<QCoro::Task<Reply>(RemoteServer &server, Call call)>;
    struct Form {
        Handler handler;
        int needs = 0;
        // A check of the parameter, after the generator and before the model: the
        // error to queue, or 0.
        int (*check)(const ScpiCommand &command) = nullptr;
    };
    struct Command {
        ScpiCommand::Header header;
        Form set, query;
    };
    static const std::vector<Command> &commands();
    // Checks what the command needs and runs its handler.
    QCoro::Task<Reply> execute(Call call);
    // execute(), with a failure of the program's own turned into a Reply; only the
    // program's ending (WaitCancelled) goes through.
    QCoro::Task<Reply> executeOrFail(Call call);
    // One question to the generator; no answer queues -240 (-241 without a generator).
    QCoro::Task<std::optional<Frame>> askFor(int id, Instrument::Query query,
                                             std::shared_ptr<bool> alive);
    // A query of the generator's value, answered from the frame that answers `query`.
    QCoro::Task<std::optional<QByteArray>> askFresh(int id, Instrument::Query query,
                                                    std::function<QByteArray(QChar)> value,
                                                    std::shared_ptr<bool> alive);
    QCoro::Task<> switchOutput(int id, bool on, std::shared_ptr<bool> alive);
    QCoro::Task<> setSweep(int id, bool on, std::shared_ptr<bool> alive);
    // A sweep value kept here, or 9.91E37 with -230 when none has been set.
    std::optional<QByteArray> keptValue(int id, const std::optional<double> &value);
    // The checks of a Morse text from a script; 0 when it may be keyed.
    static int morseError(const QString &text);
    Client *client(int id);

    Instrument &m_generator;
    QList<QTcpServer *> m_listeners;
    std::map<int, Client> m_clients;
    int m_nextId = 1;
    int m_runningClient = 0; // whose line runs now (0: none)
    std::deque<Job> m_jobs;
    bool m_running = false;
    LineTrace *m_trace = nullptr;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    // The sweep's values, kept until the program ends.
    std::optional<double> m_sweepStop, m_sweepStep, m_sweepTime;
    int m_operationCondition = 0; // Sweeping, Keying
};
