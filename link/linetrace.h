#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>

class QSocketNotifier;

// The record of what went over the line, for a report from the field (`KVT --trace
// FILE`). Every line sent and every frame received is appended to the file as one
// entry, written at once so that nothing is lost when the program is killed:
//
//     2026-12-08 11:26:19.123 SEND F7050000
//     2026-12-08 11:26:19.131 RECV #F7050000
//
// Bytes below 0x20, above 0x7e and the backslash are written as \xNN, so an entry is
// always one line whatever arrived. Received bytes are cut into frames at CR or LF;
// the rest of a frame waits for the next read. The file is bounded: once an entry
// would take it past the limit, a last line says the trace stopped and nothing more
// is written (a file that is full already gets just that line).
//
// The trace never holds up or ends the program. The file may be a pipe or a FIFO
// (`--trace /dev/stdout | less`): it is written without blocking, what its reader has
// not taken yet waits in memory (bounded), and a reader that goes away, a full disk or
// any other failed write stops the trace with one line on standard error. (The program
// ignores SIGPIPE, so a closed pipe is a failed write, not the end of the program.)
class LineTrace {
public:
    static constexpr qint64 DefaultLimitBytes = 50 * 1024 * 1024;
    // A frame without its CR longer than this is written as it stands.
    static constexpr qsizetype LongestFrame = 1000;
    // What a pipe's reader may leave untaken before the trace gives up on it.
    static constexpr qsizetype MaxBacklogBytes = 1024 * 1024;

    // `now` gives the time stamps (the wall clock when not given); `complain` gets the
    // one line that says why the trace stopped (standard error when not given).
    explicit LineTrace(QString path, qint64 limitBytes = DefaultLimitBytes,
                       std::function<QDateTime()> now = {},
                       std::function<void(const QString &)> complain = {});
    ~LineTrace();
    Q_DISABLE_COPY(LineTrace)

    // Opens the file for appending and writes a first line naming the program and
    // its version. False with the reason in `error` when the file cannot be opened, a
    // FIFO with no reader among them: it is not waited for.
    bool open(const QString &programVersion, QString *error = nullptr);

    // A command line as it goes out (its CR LF is not written).
    void sent(const QByteArray &line);
    // Bytes as they were read from the port.
    void received(const QByteArray &bytes);
    // Writes a frame still waiting for its end (an identity line without CR).
    void flushReceived();
    // What happened to the port itself ("opened /dev/ttyUSB0", "lost"), marked "----".
    void note(const QString &text);
    // A line of remote client `client`: as it arrived (`incoming`) or the answer sent
    // back, marked "REMOTE <client> >" or "REMOTE <client> <", apart from the serial
    // lines.
    void remote(int client, bool incoming, const QByteArray &line);

    bool stopped() const { return m_stopped; }

private:
    void entry(const char *direction, const QByteArray &bytes);
    void writeLine(const QString &text);
    // Queues bytes for the file and writes what it takes now.
    void output(const QByteArray &bytes);
    void drain();
    // Ends the trace after a failed write, saying why.
    void fail(const QString &reason);
    void closeFile();

    QString m_path;
    qint64 m_limit;
    std::function<QDateTime()> m_now;
    std::function<void(const QString &)> m_complain;
    int m_fd = -1;
    qint64 m_size = 0;
    bool m_stopped = true; // until opened
    QByteArray m_pendingFrame;
    QByteArray m_backlog; // written to the file but not yet taken by it (a slow pipe)
    std::unique_ptr<QSocketNotifier> m_writable; // while a backlog waits
};
