// The line trace (`KVT --trace FILE`), which writes down every byte the generator sends.
// The first byte chooses the file's bound and where the rest is cut into reads; a read
// whose first byte is 0x01 is a line the program sends instead.
//
// Promises: the file never exceeds its bound, every entry is one line of printable
// ASCII, and until the trace stops, the received entries give back every received
// byte but the line ends, in order.

#include "fuzzcheck.h"

#include "link/linetrace.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

const QString &tracePath() {
    static const QTemporaryDir folder(QDir(QStringLiteral("/dev/shm")).exists()
                                          ? QStringLiteral("/dev/shm/kvt-fuzz-XXXXXX")
                                          : QDir::tempPath() + QStringLiteral("/kvt-fuzz-XXXXXX"));
    static const QString path = folder.filePath(QStringLiteral("trace.txt"));
    return path;
}

// The bytes of a received entry's text: "\xNN" stands for one byte.
QByteArray unescaped(const QByteArray &text) {
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\\') {
            FUZZ_CHECK(i + 3 < text.size());
            FUZZ_CHECK(text[i + 1] == 'x');
            bool ok = false;
            bytes += static_cast<char>(text.mid(i + 2, 2).toInt(&ok, 16));
            FUZZ_CHECK(ok);
            i += 3;
        } else {
            bytes += text[i];
        }
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    const qint64 limit = 200 + qint64{data[0]} * 64;
    FuzzChoices cuts(data[0]);
    const QByteArray stream = fuzzBytes(data + 1, size - 1);

    QFile::remove(tracePath());
    QByteArray received;
    {
        const QDateTime noon(QDate(2026, 12, 8), QTime(12, 0));
        LineTrace trace(
            tracePath(), limit, [noon] { return noon; }, [](const QString &) {});
        FUZZ_CHECK(trace.open(QStringLiteral("3.2.3")));
        for (qsizetype at = 0; at < stream.size();) {
            const QByteArray read = stream.mid(at, 1 + cuts.next(64));
            at += read.size();
            if (read.startsWith('\x01')) {
                trace.sent(read.mid(1));
            } else {
                trace.received(read);
                received += read;
            }
        }
    }

    QFile file(tracePath());
    FUZZ_CHECK(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    FUZZ_CHECK(text.size() <= limit);
    FUZZ_CHECK(text.isEmpty() || text.endsWith('\n'));
    QByteArray traced;
    bool stopped = false;
    for (const QByteArray &line : text.split('\n')) {
        if (line.isEmpty())
            continue;
        for (char c : line)
            FUZZ_CHECK(c >= 0x20 && c <= 0x7e);
        FUZZ_CHECK(line.startsWith("2026-12-08 12:00:00.000 "));
        const QByteArray entry = line.mid(24);
        FUZZ_CHECK(entry.startsWith("---- ") || entry.startsWith("SEND ") ||
                   entry.startsWith("RECV "));
        stopped = stopped || entry.startsWith("---- trace stopped");
        if (entry.startsWith("RECV "))
            traced += unescaped(entry.mid(5));
    }
    if (!stopped) {
        received.replace('\r', QByteArray()).replace('\n', QByteArray());
        FUZZ_CHECK(traced == received);
    }
    return 0;
}
