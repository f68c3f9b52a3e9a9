// The line trace of `KVT --trace FILE`: its entries, appending to an older trace, and
// the bound on the file's size.
#include "link/linetrace.h"

#include "tests/support/wait.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArrayList fileLines(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArrayList lines = file.readAll().split('\n');
    lines.removeAll(QByteArray());
    return lines;
}

TEST(LineTrace, StampedDirectedFramesAppendedFlushedAndStoppedAtTheLimitWithALastLine) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("trace.txt"));
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older trace\n");
    old.close();
    const auto now = [] { return QDateTime(QDate(2026, 12, 8), QTime(11, 26, 19, 7)); };

    constexpr qint64 Limit = 400;
    LineTrace trace(path, Limit, now);
    ASSERT_TRUE(trace.open(QStringLiteral("3.2.3")));
    trace.sent("F7050000\r\n");
    trace.received("#F70");             // a frame cut by a read
    trace.received("50000\r\n#A1");     // is written whole once its CR has come
    trace.received("000\r\nKVT\xe9\\"); // the rest waits for its end or a note
    trace.note(QStringLiteral("port lost"));
    trace.sent("Q120 \xc8\x45\r\n");
    // Flushed per line: the file holds every entry while the trace is still open.
    EXPECT_EQ(fileLines(path), (QByteArrayList{
                                   "an older trace",
                                   "2026-12-08 11:26:19.007 ---- trace started by KVT 3.2.3",
                                   "2026-12-08 11:26:19.007 SEND F7050000",
                                   "2026-12-08 11:26:19.007 RECV #F7050000",
                                   "2026-12-08 11:26:19.007 RECV #A1000",
                                   "2026-12-08 11:26:19.007 RECV KVT\\xe9\\x5c",
                                   "2026-12-08 11:26:19.007 ---- port lost",
                                   "2026-12-08 11:26:19.007 SEND Q120 \\xc8E",
                               }));

    for (int i = 0; i < 20; ++i)
        trace.sent("G\r\n");
    EXPECT_TRUE(trace.stopped());
    const qint64 size = QFileInfo(path).size();
    EXPECT_LE(size, Limit);
    EXPECT_TRUE(fileLines(path).last().mid(24).startsWith("---- trace stopped: the file has "
                                                          "reached its limit"));
    // The next session appends to the full file: just its own last line, so the file
    // says why this session is missing.
    QStringList complaints;
    LineTrace next(path, Limit, now, [&](const QString &line) { complaints << line; });
    ASSERT_TRUE(next.open(QStringLiteral("3.2.3")));
    next.sent("G\r\n");
    const QByteArrayList lines = fileLines(path);
    EXPECT_EQ(lines.mid(lines.size() - 2, 1), lines.mid(lines.size() - 1));
    EXPECT_EQ(QFileInfo(path).size(), size + lines.last().size() + 1);
    EXPECT_EQ(complaints.size(), 1);

    QString error;
    LineTrace unwritable(dir.filePath(QStringLiteral("no/such/folder/trace.txt")));
    EXPECT_FALSE(unwritable.open(QStringLiteral("3.2.3"), &error));
    EXPECT_FALSE(error.isEmpty());
}

// A FIFO or a pipe (`--trace /dev/stdout | less`) never holds the program up, and a
// write that fails (the reader gone, a full device) stops the trace with one line on
// standard error instead of ending the program or going unnoticed.
TEST(LineTrace, NeverBlocksOnAPipeAndStopsWithOneComplaintWhenAWriteFails) {
    std::signal(SIGPIPE, SIG_IGN); // as the program does
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QStringList complaints;
    const auto complain = [&](const QString &line) { complaints << line; };

    QString error;
    LineTrace unread(fifo, LineTrace::DefaultLimitBytes, {}, complain);
    EXPECT_FALSE(unread.open(QStringLiteral("3.2.3"), &error)) << "no reader: not waited for";
    EXPECT_EQ(error, QStringLiteral("no program reads from it"));

    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    LineTrace trace(fifo, LineTrace::DefaultLimitBytes, {}, complain);
    ASSERT_TRUE(trace.open(QStringLiteral("3.2.3")));
    // Far more than the pipe holds, while its reader takes nothing: nothing blocks.
    constexpr int Entries = 3000;
    for (int i = 0; i < Entries; ++i)
        trace.sent(QByteArray("F") + QByteArray::number(7000000 + i) + QByteArray(60, ' '));
    EXPECT_FALSE(trace.stopped());
    // The reader catches up: every entry arrives.
    QByteArray got;
    char buffer[65536];
    runUntil(
        [&] {
            for (qint64 n; (n = ::read(reader, buffer, sizeof buffer)) > 0;)
                got.append(buffer, n);
            return got.count('\n') > Entries;
        },
        10000);
    EXPECT_EQ(got.count('\n'), Entries + 1);
    EXPECT_TRUE(complaints.isEmpty());

    ::close(reader); // the reader goes away
    trace.sent("G\r\n");
    trace.sent("G\r\n");
    EXPECT_TRUE(trace.stopped());
    ASSERT_EQ(complaints.size(), 1);
    EXPECT_TRUE(complaints[0].startsWith("KVT: the trace to " + fifo + " stopped: "))
        << complaints[0].toStdString();

    LineTrace full(QStringLiteral("/dev/full"), LineTrace::DefaultLimitBytes, {}, complain);
    EXPECT_TRUE(full.open(QStringLiteral("3.2.3")) && full.stopped() && complaints.size() == 2)
        << "its first line could not be written, and that is said";
}

} // namespace
