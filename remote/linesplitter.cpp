#include "remote/linesplitter.h"

QList<LineSplitter::Line> LineSplitter::feed(QByteArrayView bytes) {
    QList<Line> lines;
    while (!bytes.isEmpty()) {
        const qsizetype end = bytes.indexOf('\n');
        const QByteArrayView piece = end < 0 ? bytes : bytes.first(end);
        // One byte more than a line may hold: the CR of a CR LF.
        if (!m_discarding && m_pending.size() + piece.size() > MaxLine + 1) {
            m_discarding = true;
            m_pending.clear();
            lines.append(Line{{}, true});
        }
        if (!m_discarding)
            m_pending.append(piece);
        if (end < 0)
            break;
        if (!m_discarding) {
            if (m_pending.endsWith('\r'))
                m_pending.chop(1);
            if (m_pending.size() > MaxLine)
                lines.append(Line{{}, true});
            else
                lines.append(Line{m_pending, false});
        }
        m_pending.clear();
        m_discarding = false;
        bytes = bytes.sliced(end + 1);
    }
    return lines;
}

QList<LineSplitter::Line> LineSplitter::finish() {
    QList<Line> lines;
    if (!m_discarding && !m_pending.isEmpty())
        lines = feed("\n");
    m_pending.clear();
    m_discarding = false;
    return lines;
}
