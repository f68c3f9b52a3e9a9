#pragma once

#include <QByteArray>
#include <QList>

// Cuts a client's byte stream into input lines at LF (a CR before it is dropped). A
// line longer than MaxLine bytes is discarded whole and reported once as an overrun;
// the bytes kept between reads never exceed MaxLine, whatever arrives.
class LineSplitter {
public:
    static constexpr qsizetype MaxLine = 1024;

    struct Line {
        QByteArray text; // without its LF or CR LF; empty for an overrun
        bool overrun = false;
    };

    // The lines completed by these bytes, in order.
    QList<Line> feed(QByteArrayView bytes);
    // The stream has ended: a last line without its LF, as if the LF had come (none
    // when nothing is pending or the pending line is being discarded).
    QList<Line> finish();
    // Bytes of a line without its LF are kept.
    bool holdsLine() const { return !m_pending.isEmpty() && !m_discarding; }

private:
    QByteArray m_pending;
    bool m_discarding = false; // the line being read is too long already
};
