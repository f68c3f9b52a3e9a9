#include "link/linetrace.h"

namespace {
QString escaped(const QByteArray &bytes) {
    QString out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7e || byte == '\\')
            out += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
        else
            out += QLatin1Char(c);
    }
    return out;
}

QString stopLine(qint64 limit) {
    return QStringLiteral("---- trace stopped: the file has reached its limit of %1 MB")
        .arg(limit / (1024 * 1024));
}
} // namespace

LineTrace::LineTrace(QString path, qint64 limitBytes, std::function<QDateTime()> now)
    : m_path(std::move(path)), m_limit(limitBytes), m_now(std::move(now)) {
    if (!m_now)
        m_now = [] { return QDateTime::currentDateTime(); };
}

LineTrace::~LineTrace() {
    flushReceived();
}

bool LineTrace::open(const QString &programVersion, QString *error) {
    m_file.setFileName(m_path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (error)
            *error = m_file.errorString();
        return false;
    }
    m_size = m_file.size();
    m_stopped = false;
    writeLine(QStringLiteral("---- trace started by KVT %1").arg(programVersion));
    return true;
}

void LineTrace::sent(const QByteArray &line) {
    QByteArray text = line;
    if (text.endsWith("\r\n"))
        text.chop(2);
    entry("SEND", text);
}

void LineTrace::received(const QByteArray &bytes) {
    if (m_stopped)
        return;
    for (char c : bytes) {
        if (c == '\r' || c == '\n') {
            // The LF after a CR (or an empty line) ends nothing.
            if (!m_pendingFrame.isEmpty())
                entry("RECV", m_pendingFrame);
            m_pendingFrame.clear();
            continue;
        }
        m_pendingFrame.append(c);
        if (m_pendingFrame.size() >= LongestFrame)
            flushReceived();
    }
}

void LineTrace::flushReceived() {
    if (m_pendingFrame.isEmpty())
        return;
    entry("RECV", m_pendingFrame);
    m_pendingFrame.clear();
}

void LineTrace::note(const QString &text) {
    flushReceived();
    writeLine(QStringLiteral("---- ") + escaped(text.toUtf8()));
}

void LineTrace::remote(int client, bool incoming, const QByteArray &line) {
    writeLine(QStringLiteral("REMOTE %1 %2 ").arg(client).arg(QLatin1Char(incoming ? '>' : '<')) +
              escaped(line));
}

void LineTrace::entry(const char *direction, const QByteArray &bytes) {
    writeLine(QLatin1String(direction) + QLatin1Char(' ') + escaped(bytes));
}

void LineTrace::writeLine(const QString &text) {
    if (m_stopped)
        return;
    const QByteArray stamp = m_now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toLatin1();
    const QByteArray line = stamp + ' ' + text.toLatin1() + '\n';
    const QByteArray last = stamp + ' ' + stopLine(m_limit).toLatin1() + '\n';
    // The last line always fits: an entry is written only when it leaves room for it.
    QByteArray out = line;
    if (m_size + line.size() + last.size() > m_limit) {
        m_stopped = true;
        if (m_size + last.size() > m_limit)
            return; // full already (an earlier trace stopped here)
        out = last;
    }
    if (m_file.write(out) != out.size() || !m_file.flush()) {
        m_stopped = true; // a full disk: the program goes on without its trace
        return;
    }
    m_size += out.size();
}
