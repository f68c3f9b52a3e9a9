#include "link/link.h"

#include "link/devicestate.h"
#include "link/linetrace.h"
#include "link/serialport.h"
#include "link/timesource.h"
#include "link/windows1250.h"

#include <QStringEncoder>

#include <utility>

Link::Link(DeviceState &state, SerialPort &port, TimeSource &time, QObject *parent)
    : QObject(parent), m_state(state), m_port(port), m_time(time), m_parser(state), m_waits(time) {
    connect(&m_port, &SerialPort::readyRead, this, &Link::onReadyRead);
    connect(&m_port, &SerialPort::lost, this, &Link::portGone);
}

Link::~Link() {
    m_waits.cancelAll();
    closePort(); // the line closes with the link, after everything that used it
}

void Link::cancelTimers() {
    for (quint64 *timer : {&m_readTimer, &m_identityTimer}) {
        if (*timer != 0)
            m_time.cancel(*timer);
        *timer = 0;
    }
}

int Link::openPort() {
    m_handedOver = false;
    if (m_port.isOpen())
        return 0;
    m_parser.reset();
    return opened(m_port.open(m_state.portNumber));
}

int Link::reopenPort() {
    if (m_port.isOpen())
        return 0;
    m_parser.reset();
    return opened(m_port.reopen());
}

int Link::opened(int error) {
    if (error == 0)
        ++m_opens;
    if (m_trace && error == 0)
        m_trace->note(QStringLiteral("port opened: ") + m_port.systemName());
    return error;
}

void Link::closePort() {
    cancelTimers();
    if (m_trace && m_port.isOpen())
        m_trace->note(QStringLiteral("port closed"));
    m_port.close();
    m_parser.reset();
}

void Link::handOverPort() {
    closePort();
    m_handedOver = true;
}

int Link::takeBackPort(int portNumber) {
    closePort();
    m_state.portNumber = static_cast<int16_t>(portNumber);
    return openPort();
}

PortLoan Link::lendPort() {
    QString device = m_port.systemName();
    handOverPort();
    return PortLoan(*this, m_state.portNumber, std::move(device));
}

PortLoan Link::lendPort(int portNumber, int &error) {
    error = takeBackPort(portNumber);
    if (error != 0)
        return {};
    QString device = m_port.systemName();
    handOverPort();
    return PortLoan(*this, portNumber, std::move(device));
}

PortLoan::PortLoan(Link &link, int portNumber, QString device)
    : m_link(&link), m_portNumber(portNumber), m_device(std::move(device)), m_active(true) {}

PortLoan::PortLoan(PortLoan &&other) noexcept
    : m_link(std::move(other.m_link)), m_portNumber(other.m_portNumber),
      m_device(std::move(other.m_device)), m_active(std::exchange(other.m_active, false)) {}

PortLoan &PortLoan::operator=(PortLoan &&other) noexcept {
    if (this != &other) {
        if (m_active)
            giveBack();
        m_link = std::move(other.m_link);
        m_portNumber = other.m_portNumber;
        m_device = std::move(other.m_device);
        m_active = std::exchange(other.m_active, false);
    }
    return *this;
}

PortLoan::~PortLoan() {
    if (m_active)
        giveBack();
}

int PortLoan::giveBack() {
    if (!std::exchange(m_active, false) || !m_link)
        return 0;
    return m_link->takeBackPort(m_portNumber);
}

void PortLoan::keepClosed() {
    m_active = false;
}

void Link::portGone() {
    cancelTimers();
    m_parser.reset();
    if (m_trace)
        m_trace->note(QStringLiteral("port lost"));
    Q_EMIT portLost();
}

bool Link::isOpen() const {
    return m_port.isOpen();
}

bool Link::generatorConnected() const {
    return m_port.isOpen() && m_state.connected;
}

bool Link::sendCommand(const QString &text) {
    if (!m_port.isOpen())
        return false;
    for (QChar ch : text)
        if (ch.category() == QChar::Other_Control)
            return false;
    QByteArray line = toLineBytes(text);
    line.append("\r\n", 2);
    m_port.write(line);
    if (m_trace)
        m_trace->sent(line);
    return true;
}

QCoro::Task<bool> Link::awaitIdentity(WaitSet &waits, int ms, std::function<bool()> givenUp) {
    const quint64 before = m_identities;
    const qint64 until = m_time.nowMs() + ms;
    while (m_identities == before && (ms < 0 || m_time.nowMs() < until) &&
           !(givenUp && givenUp())) {
        co_await waits.wait(ms < 0 ? -1 : static_cast<int>(until - m_time.nowMs()));
    }
    co_return m_identities != before;
}

QCoro::Task<std::optional<Frame>> Link::ask(const QString &command, const QString &letters, int ms,
                                            std::function<bool(const Frame &)> accepts) {
    auto question = std::make_shared<Question>();
    question->letters = letters;
    question->accepts = std::move(accepts);
    question->afterRead = m_reads;
    m_questions.push_back(question);
    // The question goes away with this procedure, however it ends (answered, timed out,
    // or unwound by WaitCancelled).
    struct Forget {
        std::list<std::shared_ptr<Question>> &questions;
        const std::shared_ptr<Question> &question;
        ~Forget() { questions.remove(question); }
    } forget{m_questions, question};
    if (!sendCommand(command))
        co_return std::nullopt;
    const qint64 until = m_time.nowMs() + ms;
    for (qint64 left = ms; left > 0 && !question->answer; left = until - m_time.nowMs()) {
        co_await m_waits.waitForAny(letters, static_cast<int>(left));
    }
    co_return question->answer;
}

void Link::onReadyRead() {
    // Read on the next turn of the event loop, once per burst of notifications.
    if (m_readTimer != 0)
        return;
    m_readTimer = m_time.schedule(0, [this] {
        m_readTimer = 0;
        readNow();
    });
}

void Link::readNow() {
    const QByteArray bytes = m_port.read(ReadSize);
    if (!bytes.isEmpty()) {
        ++m_reads;
        if (m_trace)
            m_trace->received(bytes);
        // The waits running when the reply arrived end once it is handled; a wait
        // that a handler of this reply starts waits for its own time.
        const quint64 running = m_waits.mark();
        handle(m_parser.feed(bytes), running);
        // An identity line still open is handled as it stands once the line has been
        // quiet for IdentityQuietMs; every read that arrives meanwhile starts it anew.
        if (m_identityTimer != 0) {
            m_time.cancel(m_identityTimer);
            m_identityTimer = 0;
        }
        if (m_parser.holdsIdentity())
            m_identityTimer = m_time.schedule(IdentityQuietMs, [this] {
                m_identityTimer = 0;
                const quint64 running = m_waits.mark();
                const std::vector<ReplyEffects> effects = m_parser.takeIdentity();
                if (m_trace && !effects.empty())
                    m_trace->flushReceived();
                handle(effects, running);
            });
    }
    // More than one read's worth arrived: take the rest on the next turn.
    if (m_port.isOpen() && m_port.bytesAvailable() > 0 && m_readTimer == 0)
        m_readTimer = m_time.schedule(0, [this] {
            m_readTimer = 0;
            readNow();
        });
}

void Link::handle(const std::vector<ReplyEffects> &effects, quint64 running) {
    QString letters;
    for (const ReplyEffects &effect : effects) {
        if (effect.kind == ReplyEffects::Kind::Identity)
            ++m_identities;
        if (effect.kind == ReplyEffects::Kind::Frame && !effect.letter.isNull()) {
            letters.append(effect.letter);
            answerQuestions(Frame{effect.letter, effect.text});
        }
        Q_EMIT replyHandled(effect);
    }
    if (!effects.empty())
        m_waits.wakeStartedBefore(running, letters);
}

void Link::answerQuestions(const Frame &frame) {
    for (const std::shared_ptr<Question> &question : m_questions) {
        if (question->answer || question->afterRead >= m_reads ||
            !question->letters.contains(frame.letter))
            continue;
        if (!question->accepts || question->accepts(frame))
            question->answer = frame;
    }
}

QByteArray toLineBytes(const QString &text) {
    // A character outside the basic plane, or a lone half of one, is one "?" whatever
    // the encoder would make of its two halves.
    QString line = text;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (!line[i].isSurrogate())
            continue;
        const bool pair =
            line[i].isHighSurrogate() && i + 1 < line.size() && line[i + 1].isLowSurrogate();
        line.replace(i, pair ? 2 : 1, u'?');
    }
#ifdef Q_OS_WIN
    // The system's ANSI code page, which the generator's users have always sent.
    QStringEncoder encoder(QStringConverter::System);
#else
    QStringEncoder encoder("windows-1250");
#endif
    // Without the codec (a Qt built without ICU) the program's own table serves.
    if (!encoder.isValid())
        return Windows1250::encode(line);
    // Qt's Windows-1250 encoder (ICU) writes the code page's substitute byte 0x1A, a
    // control character, for a character the code page cannot hold; on the line it is
    // "?" as with the program's own table.
    QByteArray out = encoder.encode(line);
    out.replace('\x1a', '?');
    return out;
}
