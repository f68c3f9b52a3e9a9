#include "remote/remoteserver.h"

#include "instrument/instrument.h"
#include "link/devicestate.h"
#include "link/linetrace.h"
#include "link/link.h"
#include "link/numbers.h"
#include "link/presetrecord.h"
#include "link/procedure.h"
#include "link/windows1250.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <climits>
#include <cmath>
#include <exception>

#ifdef Q_OS_UNIX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace {

using Header = ScpiCommand::Header;

// SCPI's not-a-number: the answer of a query that cannot be answered.
const QByteArray NotANumber = QByteArrayLiteral("9.91E37");
// The lowest carrier and tone a script may set: whole hertz above 0.
constexpr double LowestHz = 1;
// The status byte's and the event status register's bits.
constexpr int ErrorsWaiting = 1 << 2;
constexpr int EventSummary = 1 << 5;
constexpr int ServiceSummary = 1 << 6;
constexpr int OperationSummary = 1 << 7;
constexpr int OperationComplete = 1 << 0;

QByteArray plain(double value) {
    return Numbers::plain(value).toLatin1();
}

// The error a refused procedure leaves in the client's queue; 0 when it was done.
int errorFor(Instrument::Outcome outcome) {
    switch (outcome) {
    case Instrument::Outcome::Done:
        return 0;
    case Instrument::Outcome::NoGenerator:
        return ScpiParser::HardwareMissing;
    case Instrument::Outcome::OutOfRange:
        return ScpiParser::DataOutOfRange;
    case Instrument::Outcome::UnknownRange: // a model whose range is not known
    case Instrument::Outcome::NotThisModel:
    case Instrument::Outcome::Busy:
    case Instrument::Outcome::NoSweep:
        return ScpiParser::SettingsConflict;
    }
    return ScpiParser::SettingsConflict;
}

// Whether the frame answering "H" says the output is on.
bool saysOn(const Frame &frame) {
    return Numbers::leadingValue(frame.text) != 0;
}

// Keep-alive with the server's times on a client's socket, so that a peer that went
// away without a word is noticed.
void keepAlive(QTcpSocket *socket) {
    socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
#if defined(Q_OS_UNIX) && defined(TCP_KEEPIDLE) && defined(TCP_KEEPINTVL) && defined(TCP_KEEPCNT)
    const auto fd = static_cast<int>(socket->socketDescriptor());
    const int idle = RemoteServer::KeepAliveIdleS;
    const int interval = RemoteServer::KeepAliveIntervalS;
    const int count = RemoteServer::KeepAliveCount;
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
#ifdef TCP_USER_TIMEOUT
    // Answers the peer never acknowledges do not keep it either.
    const unsigned int unacknowledgedMs = (idle + interval * count) * 1000;
    setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &unacknowledgedMs, sizeof unacknowledgedMs);
#endif
#endif
}

// The standard event status bit of an error: command, execution or device error.
int eventBit(int error) {
    if (error <= -100 && error > -200)
        return 1 << 5;
    if (error <= -200 && error > -300)
        return 1 << 4;
    if (error <= -300 && error > -400)
        return 1 << 3;
    return 0;
}

// The reason of a failed command as it stands in a quoted SCPI string: on one line,
// its quotes doubled, not overlong.
QByteArray quotedReason(const QString &reason) {
    QString text = reason.simplified().left(200);
    for (QChar &c : text)
        if (c.category() == QChar::Other_Control)
            c = u' ';
    return text.toLatin1().replace('"', "\"\"");
}

// One error of the queue as SYSTem:ERRor? answers it: <code>,"<text>[;<reason>]".
QByteArray queuedError(int number, const QString &reason) {
    QByteArray text = ScpiParser::errorText(number).toLatin1();
    if (!reason.isEmpty())
        text += ';' + quotedReason(reason);
    return QByteArray::number(number) + ",\"" + text + '"';
}

// Whether a command failed only because the program is ending. A plain function: the
// typed catch stays out of the coroutine, where GCC 12 loses the exception.
bool cancelled(const std::exception_ptr &error) {
    try {
        std::rethrow_exception(error);
    } catch (const WaitCancelled &) {
        return true;
    } catch (...) {
        return false;
    }
}

// Why a command failed.
QString reasonOf(const std::exception_ptr &error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("unknown exception");
    }
}

} // namespace

RemoteServer::RemoteServer(Instrument &instrument, QObject *parent)
    : QObject(parent), m_generator(instrument) {
    // A sweep and Morse keying, as they start and end.
    connect(&instrument, &Instrument::changed, this, &RemoteServer::followOperation);
    connect(&instrument, &Instrument::sweepStateChanged, this, &RemoteServer::followOperation);
}

RemoteServer::~RemoteServer() {
    // A command still waiting on the generator stops without touching the server.
    *m_alive = false;
    for (auto &[id, client] : m_clients) {
        if (client.socket) {
            client.socket->disconnect(this);
            client.socket->abort();
        }
    }
}

bool RemoteServer::listen(quint16 port, const QString &extraAddress, QString *error) {
    const auto listenOn = [this, &port](const QHostAddress &address, QString *reason) {
        auto *server = new QTcpServer(this);
        // The fifth client is taken and closed at once, not left waiting in the backlog.
        server->setMaxPendingConnections(MaxClients + 1);
        connect(server, &QTcpServer::newConnection, this, &RemoteServer::accept);
        if (server->listen(address, port)) {
            port = server->serverPort(); // the others on the same port when 0 was asked
            m_listeners.append(server);
            return true;
        }
        // A machine without IPv6 has no ::1 to listen on; 127.0.0.1 is enough there.
        const bool noIpv6 = address == QHostAddress(QHostAddress::LocalHostIPv6) &&
                            server->serverError() != QAbstractSocket::AddressInUseError;
        if (!noIpv6 && reason)
            *reason = QStringLiteral("cannot listen on %1 port %2: %3")
                          .arg(address.toString())
                          .arg(port)
                          .arg(server->errorString());
        delete server;
        return noIpv6;
    };

    // The extra address first: an address that takes in every interface of a kind
    // takes in its loopback, which is then not listened on separately. One that
    // cannot be used leaves remote control on the loopback addresses.
    QList<QHostAddress> addresses{QHostAddress(QHostAddress::LocalHost),
                                  QHostAddress(QHostAddress::LocalHostIPv6)};
    QString extraFailed;
    if (!extraAddress.isEmpty()) {
        QHostAddress extra;
        if (!extra.setAddress(extraAddress)) {
            extraFailed = QStringLiteral("%1 is not an IP address").arg(extraAddress);
        } else if (addresses.contains(extra)) {
            // listened on below
        } else if (!listenOn(extra, &extraFailed)) {
            // extraFailed says why
        } else {
            if (extra == QHostAddress(QHostAddress::AnyIPv4) ||
                extra == QHostAddress(QHostAddress::Any))
                addresses.removeAll(QHostAddress(QHostAddress::LocalHost));
            if (extra == QHostAddress(QHostAddress::AnyIPv6) ||
                extra == QHostAddress(QHostAddress::Any))
                addresses.removeAll(QHostAddress(QHostAddress::LocalHostIPv6));
        }
    }
    for (const QHostAddress &address : addresses) {
        if (!listenOn(address, error)) {
            qDeleteAll(m_listeners);
            m_listeners.clear();
            return false;
        }
    }
    if (error)
        *error = extraFailed.isEmpty()
                     ? QString()
                     : extraFailed + QStringLiteral("; listening on 127.0.0.1 and ::1 only");
    return true;
}

quint16 RemoteServer::port() const {
    return m_listeners.isEmpty() ? 0 : m_listeners.first()->serverPort();
}

RemoteServer::Client *RemoteServer::client(int id) {
    const auto it = m_clients.find(id);
    return it == m_clients.end() ? nullptr : &it->second;
}

int RemoteServer::clientCount() const {
    return static_cast<int>(std::count_if(m_clients.begin(), m_clients.end(),
                                          [](const auto &c) { return !c.second.gone; }));
}

void RemoteServer::accept() {
    for (QTcpServer *server : std::as_const(m_listeners)) {
        while (QTcpSocket *socket = server->nextPendingConnection()) {
            // A client gone with lines still to run keeps its place: what waits in the
            // program stays bounded however often scripts connect and leave.
            if (static_cast<int>(m_clients.size()) >= MaxClients) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            const int id = m_nextId++;
            socket->setParent(this);
            // What waits in the program for a client that sends faster than its lines
            // are carried out stays small; TCP holds the sender back.
            socket->setReadBufferSize(4 * LineSplitter::MaxLine);
            // Answers a client does not read pile up in the program, where they are
            // counted, rather than in a large system buffer.
            socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption,
                                    static_cast<int>(MaxUnreadBytes));
            keepAlive(socket);
            m_clients[id].socket = socket;
            connect(socket, &QTcpSocket::readyRead, this, [this, id] { readInput(id); });
            connect(socket, &QTcpSocket::disconnected, this, [this, id] { clientGone(id); });
            connect(socket, &QTcpSocket::errorOccurred, this, [this, id] { clientGone(id); });
            if (m_trace)
                m_trace->note(QStringLiteral("remote client %1 connected from %2")
                                  .arg(id)
                                  .arg(socket->peerAddress().toString()));
            Q_EMIT clientCountChanged(clientCount());
        }
    }
}

void RemoteServer::drop(int id) {
    Client *c = client(id);
    if (!c)
        return;
    QPointer<QTcpSocket> socket = c->socket;
    const bool wasGone = c->gone;
    m_clients.erase(id);
    // Its lines still waiting go with it.
    std::erase_if(m_jobs, [id](const Job &job) { return job.client == id; });
    if (socket) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    if (wasGone)
        return;
    if (m_trace)
        m_trace->note(QStringLiteral("remote client %1 gone").arg(id));
    Q_EMIT clientCountChanged(clientCount());
}

void RemoteServer::clientGone(int id) {
    Client *c = client(id);
    if (!c || c->gone)
        return;
    // What it sent is still read from the socket (Qt keeps what it has received), and
    // runs; its answers are dropped.
    c->gone = true;
    if (c->socket)
        c->socket->disconnect(this);
    if (m_trace)
        m_trace->note(QStringLiteral("remote client %1 gone").arg(id));
    Q_EMIT clientCountChanged(clientCount());
    readInput(id);
}

void RemoteServer::forgetIfDone(int id) {
    Client *c = client(id);
    if (!c || !c->gone || c->queuedLines > 0 || m_runningClient == id || c->splitter.holdsLine() ||
        (c->socket && c->socket->bytesAvailable() > 0))
        return;
    if (c->socket)
        c->socket->deleteLater();
    m_clients.erase(id);
}

void RemoteServer::readInput(int id) {
    Client *c = client(id);
    if (!c || !c->socket)
        return;
    // Lines are read only while few of this client's wait; the rest waits in the
    // socket, and is read once they have been carried out.
    while (c->queuedLines < MaxQueuedLines && c->socket->bytesAvailable() > 0) {
        const QByteArray bytes = c->socket->read(LineSplitter::MaxLine);
        for (const LineSplitter::Line &line : c->splitter.feed(bytes)) {
            if (m_trace)
                m_trace->remote(id, true,
                                line.overrun ? QByteArrayLiteral("(line too long)") : line.text);
            m_jobs.push_back(Job{id, line.text, line.overrun});
            ++c->queuedLines;
        }
    }
    // A client gone: its last line, without its LF, runs as if the LF had come.
    if (c->gone && c->queuedLines < MaxQueuedLines && c->socket->bytesAvailable() == 0) {
        for (const LineSplitter::Line &line : c->splitter.finish()) {
            if (m_trace)
                m_trace->remote(id, true, line.text);
            m_jobs.push_back(Job{id, line.text, line.overrun});
            ++c->queuedLines;
        }
    }
    const bool gone = c->gone;
    startRunning();
    if (gone)
        forgetIfDone(id);
}

void RemoteServer::answer(int id, const QByteArray &text) {
    Client *c = client(id);
    if (!c || !c->socket || c->gone)
        return;
    if (m_trace)
        m_trace->remote(id, false, text);
    // Held by a guard: a write that finds the client gone drops it at once.
    const QPointer<QTcpSocket> socket = c->socket;
    // One line, whatever the generator reported (a line break in its firmware text).
    QByteArray line = text;
    for (char &ch : line)
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f)
            ch = ' ';
    socket->write(line + '\n');
    // A client that does not read its answers is not kept waiting on forever.
    if (!socket || socket->bytesToWrite() > MaxUnreadBytes)
        drop(id);
}

void RemoteServer::addError(int id, int error, const QString &reason) {
    Client *c = client(id);
    if (!c || error == 0)
        return;
    c->eventStatus |= eventBit(error);
    if (static_cast<int>(c->errors.size()) < ErrorQueueLength) {
        c->errors.push_back(Error{error, reason});
    } else {
        // A full queue keeps its oldest errors; the last place says it overflowed.
        c->errors.back() = Error{ScpiParser::QueueOverflow, {}};
        c->eventStatus |= eventBit(ScpiParser::QueueOverflow);
    }
}

void RemoteServer::followOperation() {
    const int condition =
        (m_generator.state().sweeping ? Sweeping : 0) | (m_generator.keying() ? Keying : 0);
    const int rose = condition & ~m_operationCondition;
    const int fell = m_operationCondition & ~condition;
    m_operationCondition = condition;
    if (rose == 0 && fell == 0)
        return;
    for (auto &[id, c] : m_clients)
        c.operationEvent |= (rose & c.operationRising) | (fell & c.operationFalling);
}

int RemoteServer::statusByte(const Client &c) {
    int status = c.errors.empty() ? 0 : ErrorsWaiting;
    // Bit 4 (a message available) stays 0: an answer is sent as soon as it is made.
    if ((c.eventStatus & c.eventEnable) != 0)
        status |= EventSummary;
    if ((c.operationEvent & c.operationEnable) != 0)
        status |= OperationSummary;
    if ((status & c.serviceEnable) != 0)
        status |= ServiceSummary;
    return status;
}

std::optional<double> RemoteServer::limitOf(const ScpiCommand &command) const {
    const bool maximum = command.limit == ScpiCommand::Limit::Maximum;
    if (command.header == Header::Tone)
        return maximum ? Instrument::HighestTone : LowestHz;
    // The carrier's follow the model's range, which must be known.
    const std::optional<double> highest = m_generator.highestCarrier();
    if (!highest)
        return std::nullopt;
    return maximum ? *highest : LowestHz;
}

void RemoteServer::startRunning() {
    if (m_running || m_jobs.empty())
        return;
    m_running = true;
    runProcedure(runJobs(m_alive), [](const QString &) {});
}

QCoro::Task<> RemoteServer::runJobs(std::shared_ptr<bool> alive) {
    // However the run ends (all done, or the program going away in a wait), a later
    // line starts a new one, unless the server is gone.
    struct Running {
        std::shared_ptr<bool> alive;
        bool &running;
        ~Running() {
            if (*alive)
                running = false;
        }
    } running{alive, m_running};
    while (!m_jobs.empty()) {
        const Job job = m_jobs.front();
        m_jobs.pop_front();
        if (Client *c = client(job.client)) {
            --c->queuedLines;
            // More of its input may be read now.
            if (c->socket && (c->gone || c->socket->bytesAvailable() > 0))
                QMetaObject::invokeMethod(
                    this, [this, id = job.client] { readInput(id); }, Qt::QueuedConnection);
        }
        if (job.overrun) {
            addError(job.client, ScpiParser::InputBufferOverrun);
            forgetIfDone(job.client);
            continue;
        }
        // A client gone is forgotten once its last line has run, not while it runs.
        struct RunningClient {
            std::shared_ptr<bool> alive;
            RemoteServer *server;
            int id;
            ~RunningClient() {
                if (!*alive)
                    return;
                server->m_runningClient = 0;
                server->forgetIfDone(id);
            }
        } runningClient{alive, this, job.client};
        m_runningClient = job.client;
        QList<QByteArray> answers;
        for (const ScpiCommand &command : ScpiParser::parse(job.line)) {
            if (!client(job.client))
                break; // gone: nothing more of its line is done
            if (command.error != 0) {
                addError(job.client, command.error);
                break;
            }
            // Named, not a temporary in the co_await: GCC 12 would destroy it twice.
            const Call call{job.client, command, alive};
            const Reply reply = co_await executeOrFail(call);
            if (!*alive)
                co_return;
            if (!reply.failure.isEmpty())
                addError(job.client, ScpiParser::DeviceSpecificError, reply.failure);
            if (command.query)
                answers.append(reply.answer.value_or(NotANumber));
        }
        if (!answers.isEmpty())
            answer(job.client, answers.join(';'));
    }
}

QCoro::Task<std::optional<Frame>> RemoteServer::askFor(int id, Instrument::Query query,
                                                       std::shared_ptr<bool> alive) {
    // A command of several steps (OUTP, SWE) waits at each of them, and before what it
    // sends after an answer, while another exchange holds the line.
    co_await m_generator.lineFree();
    if (!*alive)
        co_return std::nullopt;
    const std::optional<Frame> frame = co_await m_generator.ask(query, AnswerMs);
    if (!*alive)
        co_return std::nullopt;
    co_await m_generator.lineFree();
    if (!*alive)
        co_return std::nullopt;
    if (!frame)
        addError(id,
                 m_generator.connected() ? ScpiParser::HardwareError : ScpiParser::HardwareMissing);
    co_return frame;
}

QCoro::Task<std::optional<QByteArray>>
RemoteServer::askFresh(int id, Instrument::Query query, std::function<QByteArray(QChar)> value,
                       std::shared_ptr<bool> alive) {
    const std::optional<Frame> frame = co_await askFor(id, query, alive);
    if (!frame)
        co_return std::nullopt;
    co_return value(frame->letter);
}

QCoro::Task<> RemoteServer::switchOutput(int id, bool on, std::shared_ptr<bool> alive) {
    // The generator says whether it sweeps: "0" ends a sweep, whatever its output.
    const std::optional<Frame> sweep = co_await askFor(id, Instrument::Query::Carrier, alive);
    if (!sweep)
        co_return;
    if (sweep->letter == u'W')
        m_generator.endSweepAsStop();
    // Then its output, switched only when it is not as asked.
    const std::optional<Frame> output = co_await askFor(id, Instrument::Query::Output, alive);
    if (!output || saysOn(*output) == on)
        co_return;
    m_generator.switchOutputAsStop(on);
    const std::optional<Frame> after = co_await askFor(id, Instrument::Query::Output, alive);
    if (after && saysOn(*after) != on)
        addError(id, ScpiParser::HardwareError); // the generator did not do it
}

QCoro::Task<> RemoteServer::setSweep(int id, bool on, std::shared_ptr<bool> alive) {
    if (on && (!m_sweepStop || !m_sweepStep || !m_sweepTime)) {
        addError(id, ScpiParser::SettingsConflict);
        co_return;
    }
    const std::optional<Frame> now = co_await askFor(id, Instrument::Query::Carrier, alive);
    if (!now || (now->letter == u'W') == on)
        co_return; // no answer, or already as asked
    if (on) {
        // The sweep runs from the carrier up.
        const double carrier = Numbers::leadingValue(now->text);
        if (!(*m_sweepStop > carrier)) {
            addError(id, ScpiParser::SettingsConflict);
            co_return;
        }
        m_generator.startSweep(Numbers::plain(*m_sweepStop), Numbers::plain(*m_sweepStep),
                               Numbers::plain(*m_sweepTime));
    } else {
        m_generator.endSweepAsStop();
    }
    // Its answer. A report of the position already on its way when "0" went out is not
    // taken for it: a W is asked about once more.
    std::optional<Frame> after = co_await askFor(id, Instrument::Query::Carrier, alive);
    if (after && !on && after->letter == u'W')
        after = co_await askFor(id, Instrument::Query::Carrier, alive);
    if (after && (after->letter == u'W') != on)
        addError(id, ScpiParser::HardwareError); // the generator did not do it
}

std::optional<QByteArray> RemoteServer::keptValue(int id, const std::optional<double> &value) {
    if (!value) {
        addError(id, ScpiParser::DataStale);
        return std::nullopt;
    }
    return plain(*value);
}

int RemoteServer::morseError(const QString &text) {
    if (text.isEmpty())
        return ScpiParser::MissingParameter;
    // Only what the generator's code page carries: anything else would go out as "?".
    for (QChar c : text) {
        if (c != u'?' && (c.isSurrogate() || Windows1250::encode(QStringView(&c, 1)) == "?"))
            return ScpiParser::StringDataError;
    }
    if (text.size() > MaxMorseText)
        return ScpiParser::TooMuchData;
    return 0;
}

QCoro::Task<RemoteServer::Reply> RemoteServer::executeOrFail(Call call) {
    std::exception_ptr error;
    Reply reply;
    try {
        reply = co_await execute(call);
    } catch (...) {
        error = std::current_exception();
    }
    if (error && cancelled(error))
        std::rethrow_exception(error); // the program is ending: nothing is answered
    if (error)
        reply = Reply{std::nullopt, reasonOf(error)};
    if (!reply.failure.isEmpty())
        qCritical("KVT: a remote command failed: %s", qUtf8Printable(reply.failure));
    co_return reply;
}

QCoro::Task<RemoteServer::Reply> RemoteServer::execute(Call call) {
    const ScpiCommand &command = call.command;
    const auto &all = commands();
    const auto entry = std::find_if(all.begin(), all.end(),
                                    [&](const Command &c) { return c.header == command.header; });
    static const Form none;
    const Form &form = entry == all.end() ? none : command.query ? entry->query : entry->set;
    if (!form.handler)
        co_return Reply{}; // the parser lets through only what is registered
    // MINimum and MAXimum are the model's limits: a query answers them without asking
    // the generator; a setting sends them as its value. Without a known range there is
    // no carrier limit (-221).
    const bool limited = command.limit != ScpiCommand::Limit::None;
    if (limited && command.query) {
        const std::optional<double> limit = limitOf(command);
        if (!limit)
            addError(call.id, ScpiParser::SettingsConflict);
        co_return Reply{limit ? std::optional(plain(*limit)) : std::nullopt};
    }
    if (form.needs & NeedsGenerator) {
        // Another exchange has the line to itself (the Setup window's); this waits.
        co_await m_generator.lineFree();
        if (!*call.alive)
            co_return Reply{};
        if (!m_generator.connected()) {
            addError(call.id, ScpiParser::HardwareMissing);
            co_return Reply{};
        }
    }
    if (limited) {
        // The range of the generator connected now, after any wait for the line.
        const std::optional<double> limit = limitOf(command);
        if (!limit) {
            addError(call.id, ScpiParser::SettingsConflict);
            co_return Reply{};
        }
        call.command.number = *limit;
    }
    const int error = form.check ? form.check(command) : 0;
    if (error != 0) {
        addError(call.id, error);
        co_return Reply{};
    }
    QCoro::Task<Reply> handled = form.handler(*this, std::move(call));
    const Reply reply = co_await std::move(handled);
    co_return reply;
}

const std::vector<RemoteServer::Command> &RemoteServer::commands() {
    using R = Reply;
    // A register of the client's status that it sets and reads back (`used`: its bits
    // that exist).
    const auto kept = [](Header header, int Client::*bits, int used) {
        return Command{header,
                       {[bits, used](RemoteServer &s, Call call) -> QCoro::Task<R> {
                           if (Client *c = s.client(call.id))
                               c->*bits = static_cast<int>(call.command.number) & used;
                           co_return R{};
                       }},
                       {[bits](RemoteServer &s, Call call) -> QCoro::Task<R> {
                           const Client *c = s.client(call.id);
                           if (!c)
                               co_return R{};
                           co_return R{QByteArray::number(c->*bits)};
                       }}};
    };
    static const std::vector<Command> table = {
        {Header::Identify, {}, {[](RemoteServer &s, Call) -> QCoro::Task<R> {
             const DeviceState &state = s.m_generator.state();
             if (!s.m_generator.connected())
                 co_return R{QByteArrayLiteral("KVT,,,")};
             co_return R{QByteArrayLiteral("KVT,") + state.modelName.toLatin1() + ',' +
                         QByteArray::number(state.deviceId) + ',' +
                         state.firmwareVersion.toLatin1()};
         }}},
        {Header::ClearStatus,
         {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
             if (Client *c = s.client(call.id)) {
                 c->errors.clear();
                 c->eventStatus = 0;
                 c->operationEvent = 0;
             }
             co_return R{};
         }},
         {}},
        {Header::EventStatus, {}, {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
             Client *c = s.client(call.id);
             if (!c)
                 co_return R{};
             const int status = c->eventStatus;
             c->eventStatus = 0;
             co_return R{QByteArray::number(status)};
         }}},
        {Header::StatusByte, {}, {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
             Client *c = s.client(call.id);
             if (!c)
                 co_return R{};
             s.followOperation();
             co_return R{QByteArray::number(statusByte(*c))};
         }}},
        // Commands are carried out one at a time: all before this one are done.
        {Header::OperationComplete,
         {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
             if (Client *c = s.client(call.id))
                 c->eventStatus |= OperationComplete;
             co_return R{};
         }},
         {[](RemoteServer &, Call) -> QCoro::Task<R> { co_return R{QByteArrayLiteral("1")}; }}},
        {Header::Wait, {[](RemoteServer &, Call) -> QCoro::Task<R> { co_return R{}; }}, {}},
        {Header::SavePreset,
         {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
              s.m_generator.savePreset(static_cast<int>(call.command.number));
              co_return R{};
          },
          NeedsGenerator},
         {}},
        {Header::RecallPreset,
         {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
              co_await s.m_generator.recallPreset(static_cast<int>(call.command.number));
              co_return R{};
          },
          NeedsGenerator},
         {}},
        {Header::PresetQuery,
         {},
         {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
              const int number = static_cast<int>(call.command.number);
              const std::optional<QString> record = co_await s.m_generator.readPreset(number);
              if (!*call.alive)
                  co_return R{};
              if (!record) {
                  s.addError(call.id, ScpiParser::HardwareError);
                  co_return R{};
              }
              // Seven numbers whatever the record holds: the number asked for, then each
              // field's leading number (0 for a field that is missing or not a number).
              const QStringList fields = Presets::cutRecord(*record).fields;
              QByteArray text = QByteArray::number(number);
              for (int i = 1; i < Presets::RecordFields; ++i) {
                  const double value = i < fields.size() ? Numbers::leadingValue(fields[i]) : 0;
                  text += ',' + plain(std::isfinite(value) ? value : 0);
              }
              co_return R{text};
          },
          NeedsGenerator}},
        // One preset written as a preset set's row is: the same checks, sequence,
        // read-back and restore, without a kept file. Nothing is sent for a bad value
        // (-222) or a preset that already holds it; one that does not read back as
        // written is -240.
        {Header::PresetData,
         {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
              const QList<qint64> &n = call.command.numbers;
              const PresetSetFile::Row row{
                  static_cast<int>(n[0]),
                  n[1],
                  n[2],
                  static_cast<int>(std::clamp<qint64>(n[3], INT_MIN, INT_MAX)),
                  n[4],
                  n[5],
                  n[6]};
              QList<PresetSetFile::Row> rows;
              rows.append(row);
              // A preset not in use cannot be written: S stores the present settings.
              if (PresetSetFile::notInUse(row) || s.m_generator.checkPresetRows(rows)) {
                  s.addError(call.id, ScpiParser::DataOutOfRange);
                  co_return R{};
              }
              const Instrument::PresetLoadPlan plan = co_await s.m_generator.planPresetLoad(rows);
              if (!*call.alive)
                  co_return R{};
              if (plan.problem) {
                  s.addError(call.id, ScpiParser::HardwareError, plan.problem->what);
                  co_return R{};
              }
              const Instrument::PresetLoadResult result =
                  co_await s.m_generator.loadPresets(plan, {}, {});
              if (!*call.alive)
                  co_return R{};
              using End = Instrument::PresetLoadResult::End;
              if (result.end == End::Refused)
                  s.addError(call.id, errorFor(result.refusal));
              else if (result.end == End::LineLost)
                  s.addError(call.id, ScpiParser::HardwareError,
                             QString::fromLatin1("the line was lost"));
              else if (!result.sweepNotStored.isEmpty())
                  s.addError(call.id, ScpiParser::HardwareError,
                             QString::fromLatin1("a sweep preset cannot be written from the PC on "
                                                 "this generator"));
              else if (!result.mismatched.isEmpty())
                  s.addError(call.id, ScpiParser::HardwareError,
                             QString::fromLatin1("the preset did not read back as written"));
              co_return R{};
          },
          NeedsGenerator},
         {}},
        {Header::Carrier,
         {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
              const int refused = errorFor(s.m_generator.tuneCarrier(call.command.number));
              if (refused != 0) {
                  s.addError(call.id, refused);
                  co_return R{};
              }
              // The generator's answer tells the panel at once whether a sweep has ended;
              // a script is not kept waiting for the next poll, nor told of a late answer.
              for (int attempt = 0; attempt < 2; ++attempt) {
                  const std::optional<Frame> frame =
                      co_await s.m_generator.ask(Instrument::Query::Carrier, AnswerMs);
                  if (!*call.alive || !frame || frame->letter != u'W')
                      break;
              }
              co_return R{};
          },
          NeedsGenerator},
         {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
              const DeviceState &state = s.m_generator.state();
              const std::optional<QByteArray> answer = co_await s.askFresh(
                  call.id, Instrument::Query::Carrier,
                  [&state](QChar letter) {
                      return plain(letter == u'W' ? state.sweepFreq : state.carrierFreq);
                  },
                  call.alive);
              co_return R{answer};
          },
          NeedsGenerator}},
        {Header::Tone,
         {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
              s.addError(call.id, errorFor(s.m_generator.setTone(call.command.number)));
              co_return R{};
          },
          NeedsGenerator},
         {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
              const DeviceState &state = s.m_generator.state();
              const std::optional<QByteArray> answer = co_await s.askFresh(
                  call.id, Instrument::Query::Tone,
                  [&state](QChar) { return plain(state.modFreq); }, call.alive);
              co_return R{answer};
          },
          NeedsGenerator}},
        {Header::ModulationKind,
         {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
              s.m_generator.setModulationKind(static_cast<int>(call.command.number));
              co_return R{};
          },
          NeedsGenerator},
         {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
              const DeviceState &state = s.m_generator.state();
              const std::optional<QByteArray> answer = co_await s.askFresh(
                  call.id, Instrument::Query::ModulationKind,
                  [&state](QChar) {
                      const char *kinds[] = {"OFF", "STIL", "BEEP", "TRIL"};
                      return state.modMode >= 0 && state.modMode <= 3
                                 ? QByteArray(kinds[state.modMode])
                                 : plain(state.modMode); // a kind this program does not know
                  },
                  call.alive);
              co_return R{answer};
          },
          NeedsGenerator}},
        {Header::Output,
         {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
              // The radiotelegraph frame switches the output itself while it is open.
              if (s.m_generator.telegraphFrameOpen())
                  s.addError(call.id, ScpiParser::SettingsConflict);
              else
                  co_await s.switchOutput(call.id, call.command.number != 0, call.alive);
              co_return R{};
          },
          NeedsGenerator},
         {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
              const DeviceState &state = s.m_generator.state();
              const std::optional<QByteArray> answer = co_await s.askFresh(
                  call.id, Instrument::Query::Output,
                  [&state](QChar) { return QByteArray(state.outputOn > 0 ? "1" : "0"); },
                  call.alive);
              co_return R{answer};
          },
          NeedsGenerator}},
        {Header::SweepStop,
         {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
             // The sweep's top is kept here until SWE ON; the model's range judges it now.
             const double n = call.command.number;
             if (const int refused = errorFor(s.m_generator.checkCarrier(n)); refused != 0)
                 s.addError(call.id, refused);
             else
                 s.m_sweepStop = n;
             co_return R{};
         }},
         {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
             co_return R{s.keptValue(call.id, s.m_sweepStop)};
         }}},
        {Header::SweepStep,
         {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
             s.m_sweepStep = call.command.number;
             co_return R{};
         }},
         {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
             co_return R{s.keptValue(call.id, s.m_sweepStep)};
         }}},
        {Header::SweepTime,
         {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
             s.m_sweepTime = call.command.number;
             co_return R{};
         }},
         {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
             co_return R{s.keptValue(call.id, s.m_sweepTime)};
         }}},
        {Header::Sweep,
         {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
              co_await s.setSweep(call.id, call.command.number != 0, call.alive);
              co_return R{};
          },
          NeedsGenerator},
         {[](RemoteServer &s, Call) -> QCoro::Task<R> {
             co_return R{QByteArray(s.m_generator.state().sweeping != 0 ? "1" : "0")};
         }}},
        {Header::SweepPause,
         {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
              s.addError(call.id, errorFor(s.m_generator.pauseSweep()));
              co_return R{};
          },
          NeedsGenerator},
         {}},
        // Until the generator's first report the Instrument keeps the start carrier.
        {Header::SweepPosition, {}, {[](RemoteServer &s, Call) -> QCoro::Task<R> {
             co_return R{plain(static_cast<double>(s.m_generator.state().sweepFreq))};
         }}},
        {Header::Morse,
         {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
              s.addError(call.id, errorFor(s.m_generator.keyMorse(call.command.text.toUpper())));
              co_return R{};
          },
          NeedsGenerator,
          [](const ScpiCommand &command) { return morseError(command.text.toUpper()); }},
         {}},
        {Header::MorseBusy, {}, {[](RemoteServer &s, Call) -> QCoro::Task<R> {
             co_return R{QByteArray(s.m_generator.keying() ? "1" : "0")};
         }}},
        {Header::SystemError, {}, {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
             Client *c = s.client(call.id);
             if (!c)
                 co_return R{};
             const Error error = c->errors.empty() ? Error{0, {}} : c->errors.front();
             if (!c->errors.empty())
                 c->errors.pop_front();
             co_return R{queuedError(error.number, error.reason)};
         }}},
        {Header::SystemConnected, {}, {[](RemoteServer &s, Call) -> QCoro::Task<R> {
             co_return R{QByteArray(s.m_generator.connected() ? "1" : "0")};
         }}},
        kept(Header::EventEnable, &Client::eventEnable, 0xff),
        kept(Header::ServiceEnable, &Client::serviceEnable, 0xff & ~ServiceSummary),
        // The generator answers a question in time.
        {Header::SelfTest, {}, {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
             co_await s.m_generator.lineFree();
             if (!*call.alive)
                 co_return R{};
             if (!s.m_generator.connected())
                 co_return R{QByteArrayLiteral("1")};
             const std::optional<Frame> frame =
                 co_await s.m_generator.ask(Instrument::Query::Output, AnswerMs);
             co_return R{QByteArray(frame ? "0" : "1")};
         }}},
        {Header::SystemVersion, {}, {[](RemoteServer &, Call) -> QCoro::Task<R> {
             co_return R{QByteArrayLiteral("1999.0")};
         }}},
        {Header::ErrorAll, {}, {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
             Client *c = s.client(call.id);
             if (!c)
                 co_return R{};
             QByteArrayList all;
             for (const Error &error : c->errors)
                 all.append(queuedError(error.number, error.reason));
             c->errors.clear();
             co_return R{all.isEmpty() ? queuedError(0, {}) : all.join(',')};
         }}},
        {Header::ErrorCount, {}, {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
             const Client *c = s.client(call.id);
             if (!c)
                 co_return R{};
             co_return R{QByteArray::number(static_cast<int>(c->errors.size()))};
         }}},
        {Header::OperCondition, {}, {[](RemoteServer &s, Call) -> QCoro::Task<R> {
             s.followOperation();
             co_return R{QByteArray::number(s.m_operationCondition)};
         }}},
        {Header::OperEvent, {}, {[](RemoteServer &s, Call call) -> QCoro::Task<R> {
             s.followOperation();
             Client *c = s.client(call.id);
             if (!c)
                 co_return R{};
             const int event = c->operationEvent;
             c->operationEvent = 0;
             co_return R{QByteArray::number(event)};
         }}},
        kept(Header::OperEnable, &Client::operationEnable, 0x7fff),
        kept(Header::OperRising, &Client::operationRising, 0x7fff),
        kept(Header::OperFalling, &Client::operationFalling, 0x7fff),
        // Nothing is questionable.
        {Header::QuesEvent, {}, {[](RemoteServer &, Call) -> QCoro::Task<R> {
             co_return R{QByteArrayLiteral("0")};
         }}},
        {Header::QuesCondition, {}, {[](RemoteServer &, Call) -> QCoro::Task<R> {
             co_return R{QByteArrayLiteral("0")};
         }}},
        kept(Header::QuesEnable, &Client::questionableEnable, 0x7fff),
        // The enables and filters as a new client has them; the events stay.
        {Header::StatusPreset,
         {[](RemoteServer &s, Call call) -> QCoro::
                                             Task<R> {
                                                 if (Client *c = s.client(call.id)) {
                                                     const Client fresh;
                                                     c->operationEnable = fresh.operationEnable;
                                                     c->operationRising = fresh.operationRising;
                                                     c->operationFalling = fresh.operationFalling;
                                                     c->questionableEnable =
                                                         fresh.questionableEnable;
                                                 }
                                                 co_return R{};
                                             }},
         {}},
    };
    return table;
}
