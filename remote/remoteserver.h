#pragma once

#include "instrument/instrument.h"

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

class LineTrace;
class QTcpServer;
class QTcpSocket;

// Remote control over TCP: SCPI command lines from up to MaxClients scripts, carried
// out one command line at a time in the order they arrived (whichever client sent
// them) through the Instrument's procedures, the same ones the panel's buttons call.
// Setting commands send their line and nothing more; queries of the generator's
// values ask it afresh. Each client has its own error queue and event status.
//
// Bounded whatever a client does: a fifth client is closed at once, an input line over
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

    explicit RemoteServer(Instrument &instrument, QObject *parent = nullptr);
    ~RemoteServer() override;
    Q_DISABLE_COPY(RemoteServer)

    // Listens on `port` of 127.0.0.1 and ::1 (the loopback addresses only), and also
    // on `extraAddress` when it is not empty. False, with the reason in `error`, when
    // one of them cannot be listened on; nothing listens then.
    bool listen(quint16 port, const QString &extraAddress, QString *error);
    // The port listened on (useful when 0 asked for any free one).
    quint16 port() const;

    int clientCount() const { return static_cast<int>(m_clients.size()); }

    // Every line a client sends and every answer is recorded in `trace` (none: no
    // trace). The trace must outlive the server or be removed first.
    void setTrace(LineTrace *trace) { m_trace = trace; }

Q_SIGNALS:
    // A client connected or went away.
    void clientCountChanged(int count);

private:
    struct Client {
        QPointer<QTcpSocket> socket;
        LineSplitter splitter;
        std::deque<int> errors; // SYSTem:ERRor? takes the oldest
        int eventStatus = 0;    // *ESR? bits
        int queuedLines = 0;    // lines of this client waiting in m_jobs
    };
    struct Job {
        int client;
        QByteArray line;
        bool overrun; // the line was too long: -363
    };

    void accept();
    void readInput(int id);
    void drop(int id);
    void answer(int id, const QByteArray &text);
    void addError(int id, int error);
    void startRunning();
    QCoro::Task<> runJobs(std::shared_ptr<bool> alive);
    // Carries out one command; the answer of a query (nullopt: a setting command).
    QCoro::Task<std::optional<QByteArray>> execute(int id, const ScpiCommand &command,
                                                   std::shared_ptr<bool> alive);
    // A query of the generator's value that the frame with `letters` carries.
    QCoro::Task<std::optional<QByteArray>> askFresh(int id, Instrument::Reading what,
                                                    std::function<QByteArray(QChar)> value,
                                                    std::shared_ptr<bool> alive);
    Client *client(int id);

    Instrument &m_generator;
    QList<QTcpServer *> m_listeners;
    std::map<int, Client> m_clients;
    int m_nextId = 1;
    std::deque<Job> m_jobs;
    bool m_running = false;
    LineTrace *m_trace = nullptr;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    // The sweep's values, kept until the program ends.
    std::optional<double> m_sweepStop, m_sweepStep, m_sweepTime;
};
