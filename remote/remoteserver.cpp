#include "remote/remoteserver.h"

#include "instrument/instrument.h"
#include "link/devicestate.h"
#include "link/linetrace.h"
#include "link/link.h"
#include "link/numbers.h"
#include "link/presetrecord.h"
#include "link/procedure.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <cmath>

namespace {

using Header = ScpiCommand::Header;

// SCPI's not-a-number: the answer of a query that cannot be answered.
const QByteArray NotANumber = QByteArrayLiteral("9.91E37");

QByteArray plain(double value) {
    return Numbers::plain(value).toLatin1();
}

// Whether a command needs the generator (it sends to it or asks it).
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

bool needsGenerator(const ScpiCommand &command) {
    switch (command.header) {
    case Header::SavePreset:
    case Header::RecallPreset:
    case Header::PresetQuery:
    case Header::Carrier:
    case Header::Tone:
    case Header::ModulationKind:
    case Header::Output:
    case Header::SweepPause:
    case Header::Morse:
        return true;
    case Header::Sweep:
        return !command.query;
    default:
        return false;
    }
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

} // namespace

RemoteServer::RemoteServer(Instrument &instrument, QObject *parent)
    : QObject(parent), m_generator(instrument) {}

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
    QList<QHostAddress> addresses{QHostAddress(QHostAddress::LocalHost),
                                  QHostAddress(QHostAddress::LocalHostIPv6)};
    if (!extraAddress.isEmpty()) {
        QHostAddress extra;
        if (!extra.setAddress(extraAddress)) {
            if (error)
                *error = QStringLiteral("%1 is not an IP address").arg(extraAddress);
            return false;
        }
        // An address that takes in every interface of a kind takes in its loopback.
        if (extra == QHostAddress(QHostAddress::AnyIPv4))
            addresses.removeAll(QHostAddress(QHostAddress::LocalHost));
        if (extra == QHostAddress(QHostAddress::AnyIPv6) ||
            extra == QHostAddress(QHostAddress::Any))
            addresses.removeAll(QHostAddress(QHostAddress::LocalHostIPv6));
        if (!addresses.contains(extra))
            addresses.append(extra);
    }
    for (const QHostAddress &address : addresses) {
        auto *server = new QTcpServer(this);
        // The fifth client is taken and closed at once, not left waiting in the backlog.
        server->setMaxPendingConnections(MaxClients + 1);
        connect(server, &QTcpServer::newConnection, this, &RemoteServer::accept);
        if (server->listen(address, port)) {
            port = server->serverPort(); // the others on the same port when 0 was asked
            m_listeners.append(server);
            continue;
        }
        // A machine without IPv6 has no ::1 to listen on; 127.0.0.1 is enough there.
        const bool noIpv6 = address == QHostAddress(QHostAddress::LocalHostIPv6) &&
                            server->serverError() != QAbstractSocket::AddressInUseError;
        if (!noIpv6 && error)
            *error = QStringLiteral("cannot listen on %1 port %2: %3")
                         .arg(address.toString())
                         .arg(port)
                         .arg(server->errorString());
        delete server;
        if (noIpv6)
            continue;
        qDeleteAll(m_listeners);
        m_listeners.clear();
        return false;
    }
    return true;
}

quint16 RemoteServer::port() const {
    return m_listeners.isEmpty() ? 0 : m_listeners.first()->serverPort();
}

RemoteServer::Client *RemoteServer::client(int id) {
    const auto it = m_clients.find(id);
    return it == m_clients.end() ? nullptr : &it->second;
}

void RemoteServer::accept() {
    for (QTcpServer *server : std::as_const(m_listeners)) {
        while (QTcpSocket *socket = server->nextPendingConnection()) {
            if (clientCount() >= MaxClients) {
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
            m_clients[id].socket = socket;
            connect(socket, &QTcpSocket::readyRead, this, [this, id] { readInput(id); });
            connect(socket, &QTcpSocket::disconnected, this, [this, id] { drop(id); });
            connect(socket, &QTcpSocket::errorOccurred, this, [this, id] { drop(id); });
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
    m_clients.erase(id);
    // Its lines still waiting go with it.
    std::erase_if(m_jobs, [id](const Job &job) { return job.client == id; });
    if (socket) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    if (m_trace)
        m_trace->note(QStringLiteral("remote client %1 gone").arg(id));
    Q_EMIT clientCountChanged(clientCount());
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
    startRunning();
}

void RemoteServer::answer(int id, const QByteArray &text) {
    Client *c = client(id);
    if (!c || !c->socket)
        return;
    if (m_trace)
        m_trace->remote(id, false, text);
    // Held by a guard: a write that finds the client gone drops it at once.
    const QPointer<QTcpSocket> socket = c->socket;
    socket->write(text + '\n');
    // A client that does not read its answers is not kept waiting on forever.
    if (!socket || socket->bytesToWrite() > MaxUnreadBytes)
        drop(id);
}

void RemoteServer::addError(int id, int error) {
    Client *c = client(id);
    if (!c || error == 0)
        return;
    c->eventStatus |= eventBit(error);
    if (static_cast<int>(c->errors.size()) < ErrorQueueLength) {
        c->errors.push_back(error);
    } else {
        // A full queue keeps its oldest errors; the last place says it overflowed.
        c->errors.back() = ScpiParser::QueueOverflow;
        c->eventStatus |= eventBit(ScpiParser::QueueOverflow);
    }
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
            if (c->socket && c->socket->bytesAvailable() > 0)
                QMetaObject::invokeMethod(
                    this, [this, id = job.client] { readInput(id); }, Qt::QueuedConnection);
        }
        if (job.overrun) {
            addError(job.client, ScpiParser::InputBufferOverrun);
            continue;
        }
        QList<QByteArray> answers;
        for (const ScpiCommand &command : ScpiParser::parse(job.line)) {
            if (!client(job.client))
                break; // gone: nothing more of its line is done
            if (command.error != 0) {
                addError(job.client, command.error);
                break;
            }
            const std::optional<QByteArray> result = co_await execute(job.client, command, alive);
            if (!*alive)
                co_return;
            if (command.query)
                answers.append(result.value_or(NotANumber));
        }
        if (!answers.isEmpty())
            answer(job.client, answers.join(';'));
    }
}

QCoro::Task<std::optional<QByteArray>>
RemoteServer::askFresh(int id, Instrument::Reading what, std::function<QByteArray(QChar)> value,
                       std::shared_ptr<bool> alive) {
    const std::optional<Frame> frame = co_await m_generator.askParams(what, AnswerMs);
    if (!*alive)
        co_return std::nullopt;
    if (!frame) {
        addError(id,
                 m_generator.connected() ? ScpiParser::HardwareError : ScpiParser::HardwareMissing);
        co_return std::nullopt;
    }
    co_return value(frame->letter);
}

QCoro::Task<std::optional<QByteArray>> RemoteServer::execute(int id, const ScpiCommand &command,
                                                             std::shared_ptr<bool> alive) {
    const DeviceState &state = m_generator.state();
    const bool connected = m_generator.connected();
    if (needsGenerator(command) && !connected) {
        addError(id, ScpiParser::HardwareMissing);
        co_return std::nullopt;
    }
    const double n = command.number;
    switch (command.header) {
    case Header::None:
        break;
    case Header::Identify: {
        if (!connected)
            co_return QByteArrayLiteral("KVT,,,");
        co_return QByteArrayLiteral("KVT,") + state.modelName.toLatin1() + ',' +
            QByteArray::number(state.deviceId) + ',' + state.firmwareVersion.toLatin1();
    }
    case Header::ClearStatus:
        if (Client *c = client(id)) {
            c->errors.clear();
            c->eventStatus = 0;
        }
        break;
    case Header::EventStatus:
        if (Client *c = client(id)) {
            const int status = c->eventStatus;
            c->eventStatus = 0;
            co_return QByteArray::number(status);
        }
        break;
    case Header::StatusByte:
        if (Client *c = client(id))
            co_return QByteArray::number(c->errors.empty() ? 0 : 1 << 2);
        break;
    case Header::OperationComplete:
        // Commands are carried out one at a time: all before this one are done.
        co_return QByteArrayLiteral("1");
    case Header::Wait:
        break;
    case Header::SavePreset:
        m_generator.savePreset(static_cast<int>(n));
        break;
    case Header::RecallPreset:
        co_await m_generator.recallPreset(static_cast<int>(n));
        break;
    case Header::PresetQuery: {
        const int number = static_cast<int>(n);
        const std::optional<QString> record = co_await m_generator.readPreset(number);
        if (!*alive)
            co_return std::nullopt;
        if (!record) {
            addError(id, ScpiParser::HardwareError);
            co_return std::nullopt;
        }
        // Seven numbers whatever the record holds: the number asked for, then each
        // field's leading number (0 for a field that is missing or not a number).
        const QStringList fields = Presets::cutRecord(*record).fields;
        QByteArray text = QByteArray::number(number);
        for (int i = 1; i < Presets::RecordFields; ++i) {
            const double value = i < fields.size() ? Numbers::leadingValue(fields[i]) : 0;
            text += ',' + plain(std::isfinite(value) ? value : 0);
        }
        co_return text;
    }
    case Header::Carrier:
        if (command.query)
            co_return co_await askFresh(
                id, Instrument::Reading::Carrier,
                [&state](QChar letter) {
                    return plain(letter == u'W' ? state.sweepFreq : state.carrierFreq);
                },
                alive);
        addError(id, errorFor(m_generator.tuneCarrier(n)));
        break;
    case Header::Tone:
        if (command.query)
            co_return co_await askFresh(
                id, Instrument::Reading::Modulation,
                [&state](QChar) { return plain(state.modFreq); }, alive);
        addError(id, errorFor(m_generator.setTone(n)));
        break;
    case Header::ModulationKind:
        if (command.query)
            co_return co_await askFresh(
                id, Instrument::Reading::ModulationKind,
                [&state](QChar) {
                    const char *kinds[] = {"OFF", "STIL", "BEEP", "TRIL"};
                    return state.modMode >= 0 && state.modMode <= 3
                               ? QByteArray(kinds[state.modMode])
                               : plain(state.modMode); // a kind this program does not know
                },
                alive);
        m_generator.setModulationKind(static_cast<int>(n));
        break;
    case Header::Output:
        if (command.query)
            co_return co_await askFresh(
                id, Instrument::Reading::Output,
                [&state](QChar) { return QByteArray(state.outputOn > 0 ? "1" : "0"); }, alive);
        m_generator.setOutput(n != 0);
        break;
    case Header::SweepStop:
        m_sweepStop = n;
        break;
    case Header::SweepStep:
        m_sweepStep = n;
        break;
    case Header::SweepTime:
        m_sweepTime = n;
        break;
    case Header::Sweep:
        if (command.query)
            co_return QByteArray(state.sweeping != 0 ? "1" : "0");
        if (n == 0) {
            m_generator.endSweep();
        } else if (!m_sweepStop || !m_sweepStep || !m_sweepTime) {
            addError(id, ScpiParser::SettingsConflict);
        } else if (state.sweeping == 0) {
            m_generator.startSweep(Numbers::plain(*m_sweepStop), Numbers::plain(*m_sweepStep),
                                   Numbers::plain(*m_sweepTime));
        }
        break;
    case Header::SweepPause:
        addError(id, errorFor(m_generator.pauseSweep()));
        break;
    case Header::SweepPosition:
        co_return plain(state.sweepFreq);
    case Header::Morse:
        addError(id, errorFor(m_generator.keyMorse(command.text.toUpper())));
        break;
    case Header::MorseBusy:
        co_return QByteArray(m_generator.keying() ? "1" : "0");
    case Header::SystemError:
        if (Client *c = client(id)) {
            const int error = c->errors.empty() ? 0 : c->errors.front();
            if (!c->errors.empty())
                c->errors.pop_front();
            co_return QByteArray::number(error) + ",\"" + ScpiParser::errorText(error).toLatin1() +
                '"';
        }
        break;
    case Header::SystemConnected:
        co_return QByteArray(connected ? "1" : "0");
    }
    co_return std::nullopt;
}
