#include "tests/support/lines.h"

QList<QByteArray> crlfSplit(const QByteArray &bytes, QByteArray *rest) {
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype end; (end = bytes.indexOf("\r\n", start)) >= 0; start = end + 2)
        lines << bytes.mid(start, end - start);
    if (rest)
        *rest = bytes.mid(start);
    return lines;
}

QStringList crlfLines(const QByteArray &bytes, QByteArray *rest) {
    QStringList lines;
    for (const QByteArray &line : crlfSplit(bytes, rest))
        lines << QString::fromLatin1(line);
    return lines;
}
