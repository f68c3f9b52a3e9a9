#include "link/linetrace.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

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

// The file's descriptor, opened for appending, or -1 with errno set. Not blocking: a
// FIFO without a reader fails at once (ENXIO) instead of holding start-up, and a pipe
// whose reader is slow takes what it can.
int openForAppend(const QString &path) {
#ifdef Q_OS_WIN
    return ::_wopen(reinterpret_cast<const wchar_t *>(path.utf16()),
                    _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY | _O_NOINHERIT,
                    _S_IREAD | _S_IWRITE);
#else
    int fd = -1;
    do {
        fd = ::open(QFile::encodeName(path).constData(),
                    O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
#endif
}

// The size of a plain file; 0 for a pipe, a FIFO or a device.
qint64 fileSize(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || (info.st_mode & S_IFMT) != S_IFREG)
        return 0;
    return info.st_size;
}

qint64 writeSome(int fd, const QByteArray &bytes) {
#ifdef Q_OS_WIN
    return ::_write(fd, bytes.constData(), static_cast<unsigned>(bytes.size()));
#else
    return ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
#endif
}

void closeFd(int fd) {
#ifdef Q_OS_WIN
    ::_close(fd);
#else
    ::close(fd);
#endif
}

QString stopLine(qint64 limit) {
    return QStringLiteral("---- trace stopped: the file has reached its limit of %1 MB")
        .arg(limit / (1024 * 1024));
}
} // namespace

LineTrace::LineTrace(QString path, qint64 limitBytes, std::function<QDateTime()> now,
                     std::function<void(const QString &)> complain)
    : m_path(std::move(path)), m_limit(limitBytes), m_now(std::move(now)),
      m_complain(std::move(complain)) {
    if (!m_now)
        m_now = [] { return QDateTime::currentDateTime(); };
    if (!m_complain)
        m_complain = [](const QString &line) {
            std::fprintf(stderr, "%s\n", qUtf8Printable(line));
        };
}

LineTrace::~LineTrace() {
    flushReceived();
    drain(); // what a slow reader has not taken yet, as far as it takes it now
    closeFile();
}

bool LineTrace::open(const QString &programVersion, QString *error) {
    closeFile();
    const int fd = openForAppend(m_path);
    if (fd < 0) {
        if (error)
            *error = errno == ENXIO ? QStringLiteral("no program reads from it")
                                    : QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_fd = fd;
    m_size = fileSize(m_fd);
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
    // A file full already (an earlier trace stopped there) still gets that line, one
    // past the limit, so the session that wrote nothing says why.
    if (m_size + line.size() + last.size() > m_limit) {
        m_stopped = true;
        output(last);
        if (m_fd >= 0)
            m_complain(QStringLiteral("KVT: the trace to %1 stopped: the file has reached its "
                                      "limit of %2 MB")
                           .arg(m_path)
                           .arg(m_limit / (1024 * 1024)));
        return;
    }
    output(line);
}

void LineTrace::output(const QByteArray &bytes) {
    if (m_fd < 0)
        return;
    m_size += bytes.size();
    m_backlog += bytes;
    if (!m_writable || !m_writable->isEnabled())
        drain(); // otherwise the notifier writes it once the reader has taken more
}

void LineTrace::drain() {
    while (m_fd >= 0 && !m_backlog.isEmpty()) {
        const qint64 written = writeSome(m_fd, m_backlog);
        if (written > 0) {
            m_backlog.remove(0, written);
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
#ifndef Q_OS_WIN
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A pipe whose reader has not kept up: the rest waits until it takes more.
            if (m_backlog.size() > MaxBacklogBytes) {
                fail(QStringLiteral("the program reading it does not keep up"));
                return;
            }
            if (!m_writable) {
                m_writable = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Write);
                QObject::connect(m_writable.get(), &QSocketNotifier::activated, m_writable.get(),
                                 [this] { drain(); });
            }
            m_writable->setEnabled(true);
            return;
        }
#endif
        // EPIPE (the reader has gone), ENOSPC (a full disk, /dev/full), EIO, ...
        fail(written < 0 ? QString::fromLocal8Bit(std::strerror(errno))
                         : QStringLiteral("nothing could be written"));
        return;
    }
    if (m_writable)
        m_writable->setEnabled(false);
}

void LineTrace::fail(const QString &reason) {
    m_stopped = true;
    m_pendingFrame.clear();
    closeFile();
    m_complain(QStringLiteral("KVT: the trace to %1 stopped: %2").arg(m_path, reason));
}

void LineTrace::closeFile() {
    m_writable.reset();
    m_backlog.clear();
    if (m_fd >= 0)
        closeFd(m_fd);
    m_fd = -1;
}
