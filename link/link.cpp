#include "link/link.h"

#include "link/devicestate.h"
#include "link/serialport.h"
#include "link/timesource.h"

Link::Link(DeviceState &state, SerialPort &port, TimeSource &time, QObject *parent)
    : QObject(parent), m_state(state), m_port(port), m_time(time), m_parser(state), m_waits(time) {
    connect(&m_port, &SerialPort::readyRead, this, &Link::onReadyRead);
    connect(&m_port, &SerialPort::lost, this, [this] {
        if (m_readTimer != 0) {
            m_time.cancel(m_readTimer);
            m_readTimer = 0;
        }
        m_parser.reset();
        Q_EMIT portLost();
    });
}

Link::~Link() {
    if (m_readTimer != 0)
        m_time.cancel(m_readTimer);
    m_waits.cancelAll();
}

int Link::openPort() {
    if (m_port.isOpen())
        return 0;
    m_parser.reset();
    return m_port.open(m_state.portNumber);
}

void Link::closePort() {
    if (m_readTimer != 0) {
        m_time.cancel(m_readTimer);
        m_readTimer = 0;
    }
    m_port.close();
    m_parser.reset();
}

bool Link::isOpen() const {
    return m_port.isOpen();
}

void Link::sendCommand(const QString &text) {
    if (!m_port.isOpen())
        return;
    QByteArray line = toLineBytes(text);
    line.append("\r\n", 2);
    m_port.write(line);
}

void Link::onReadyRead() {
    // Let the rest of a burst arrive before reading, as the generator's replies to a
    // poll come in quick succession.
    if (m_readTimer != 0)
        return;
    m_readTimer = m_time.schedule(ReceiveSettleMs, [this] {
        m_readTimer = 0;
        readNow();
    });
}

void Link::readNow() {
    const QByteArray bytes = m_port.read(ReadSize);
    if (!bytes.isEmpty()) {
        // The waits running when the reply arrived end once it is handled; a wait
        // that a handler of this reply starts waits for its own time.
        const quint64 running = m_waits.mark();
        const std::vector<ReplyEffects> effects = m_parser.feed(bytes);
        QString letters;
        for (const ReplyEffects &effect : effects) {
            if (effect.kind == ReplyEffects::Kind::Frame && !effect.letter.isNull())
                letters.append(effect.letter);
            Q_EMIT replyHandled(effect);
        }
        if (!effects.empty())
            m_waits.wakeStartedBefore(running, letters);
    }
    // More than one read's worth arrived: take the rest on the next turn.
    if (m_port.isOpen() && m_port.bytesAvailable() > 0 && m_readTimer == 0)
        m_readTimer = m_time.schedule(0, [this] {
            m_readTimer = 0;
            readNow();
        });
}

QByteArray toLineBytes(const QString &text) {
    // Windows-1250 above 0x7F; 0x80..0xFF in order, 0 where the code page has no char.
    static constexpr char16_t high[128] = {
        0x20AC, 0,      0x201A, 0,      0x201E, 0x2026, 0x2020, 0x2021, 0,      0x2030, 0x0160,
        0x2039, 0x015A, 0x0164, 0x017D, 0x0179, 0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0,      0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0,
        0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB,
        0x00AC, 0x00AD, 0x00AE, 0x017B, 0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6,
        0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, 0x0154, 0x00C1,
        0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A,
        0x00CD, 0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,
        0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1, 0x00E2,
        0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, 0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED,
        0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7, 0x0159,
        0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9};
    QByteArray out;
    out.reserve(text.size());
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        // A character outside the basic plane is one "?", not two.
        if (ch.isLowSurrogate())
            continue;
        if (u < 0x80) {
            out.append(static_cast<char>(u));
            continue;
        }
        char byte = '?';
        for (int i = 0; i < 128; ++i) {
            if (high[i] == u) {
                byte = static_cast<char>(0x80 + i);
                break;
            }
        }
        out.append(byte);
    }
    return out;
}
