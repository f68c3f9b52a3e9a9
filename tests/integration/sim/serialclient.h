#pragma once

// A client of the simulated generator as the program is one: QSerialPort on the
// link at 115200 8N1, reading reply lines ended by CR LF.

#include "tests/support/lines.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QTest>

class SerialClient {
public:
    explicit SerialClient(const QString &path) {
        m_port.setPortName(path);
        m_clock.start();
    }

    bool open() {
        if (!m_port.open(QIODevice::ReadWrite))
            return false;
        m_port.setBaudRate(QSerialPort::Baud115200);
        m_port.setDataBits(QSerialPort::Data8);
        m_port.setParity(QSerialPort::NoParity);
        m_port.setStopBits(QSerialPort::OneStop);
        m_port.setFlowControl(QSerialPort::NoFlowControl);
        // A pseudo-terminal has no modem lines: DTR fails with
        // UnsupportedOperationError, which does not make the open a failure.
        if (!m_port.setDataTerminalReady(true))
            m_port.clearError();
        return true;
    }
    void close() { m_port.close(); }

    void write(const QByteArray &bytes) {
        m_port.write(bytes);
        m_port.flush();
    }
    void send(const QByteArray &line) {
        m_port.write(line + "\r\n");
        m_port.flush();
    }

    // Waits until n complete lines have arrived in all (or the time is up) and
    // returns the lines not taken yet. QTest::qWaitFor, not runUntil: the client reads
    // at its 10 ms pace, as these tests were written for (reading every 1 ms makes
    // IdentifiesOnEveryOpenWithNothingLeftFromTheLastSession see only the identity
    // line's CR LF about every second run).
    QList<QByteArray> takeLines(int n, int timeoutMs = 3000) {
        (void)QTest::qWaitFor(
            [&] {
                drain();
                return m_lines.size() >= n;
            },
            timeoutMs);
        drain();
        const QList<QByteArray> taken = m_lines.mid(0, std::min<qsizetype>(n, m_lines.size()));
        if (!taken.isEmpty())
            m_lastTakenTime = m_lineTimes.at(taken.size() - 1);
        m_lines.remove(0, taken.size());
        m_lineTimes.remove(0, taken.size());
        return taken;
    }
    QByteArray takeLine(int timeoutMs = 3000) {
        const auto lines = takeLines(1, timeoutMs);
        return lines.isEmpty() ? QByteArray() : lines.first();
    }
    // Arrival time (ms on this client's clock) of the last line taken.
    qint64 lastTakenTime() const { return m_lastTakenTime; }
    qint64 now() const { return m_clock.elapsed(); }

    // Everything received, also what did not form a line.
    QByteArray raw() {
        drain();
        return m_raw;
    }
    void clearRaw() { m_raw.clear(); }

    void drain() {
        const QByteArray bytes = m_port.readAll();
        m_raw += bytes;
        m_partial += bytes;
        for (const QByteArray &line : crlfSplit(m_partial, &m_partial)) {
            m_lines.append(line);
            m_lineTimes.append(m_clock.elapsed());
        }
    }

private:
    QSerialPort m_port;
    QElapsedTimer m_clock;
    QByteArray m_raw;
    QByteArray m_partial;
    QList<QByteArray> m_lines;
    QList<qint64> m_lineTimes;
    qint64 m_lastTakenTime = -1;
};
